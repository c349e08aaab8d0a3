"""The slideshow on real X servers: the servers, the program run in a scratch folder, keys, screenshots."""
import os
import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
DEFAULTS = ["Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): auto",
            "Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,"
            "5=two screen vertical,6-8=coloured,9=TV top/bottom,10=column interlace,11=checkerboard,12=frame packing): 0",
            "Swap stereo (Y/N): N"]
STILL = ["Slide time: 1000", "Slide pause before zoom: 1000"]
RED, GREEN, BLUE, YELLOW = (200, 30, 40), (20, 180, 60), (40, 60, 210), (230, 210, 20)


def wait_for(what, check, timeout=60):
    """Polls check until it gives a true value, which it returns."""
    end = time.monotonic() + timeout
    while not (value := check()):
        if time.monotonic() > end:
            raise TimeoutError(f"no {what} within {timeout} s")
        time.sleep(0.05)
    return value


def bmp(path, grid, width=64, height=64):
    """A 24-bit BMP of equal blocks, grid[row][column] = (r, g, b), row 0 at the top."""
    stride = (width * 3 + 3) & ~3
    bands = [b"".join(bytes(cells[x * len(cells) // width][::-1]) for x in range(width)).ljust(stride, b"\0")
             for cells in grid]
    rows = b"".join(bands[y * len(grid) // height] for y in reversed(range(height)))
    Path(path).write_bytes(struct.pack("<2sIIIIiiHHIIiiII", b"BM", 54 + len(rows), 0, 54, 40, width, height,
                                       1, 24, 0, len(rows), 2834, 2834, 0, 0) + rows)


class Shot:
    """A screenshot as the program saved it: bottom-up rows of blue, green, red."""

    def __init__(self, data):
        self.data = data
        self.width, self.height = struct.unpack_from("<ii", data, 18)

    def __call__(self, x, y):
        """(r, g, b) at x, y counted from the top left."""
        i = 54 + (self.height - 1 - y) * ((self.width * 3 + 3) & ~3) + 3 * x
        return tuple(self.data[i:i + 3][::-1])


class Display:
    def __init__(self, argv, log):
        read, write = os.pipe()
        self.proc = subprocess.Popen(argv + ["-displayfd", str(write), "-nolisten", "tcp", "-ac"], pass_fds=(write,),
                                     stdout=open(log, "w"), stderr=subprocess.STDOUT)
        os.close(write)
        with os.fdopen(read) as f:
            self.env = dict(os.environ, DISPLAY=":" + f.readline().strip())
        assert self.env["DISPLAY"] != ":", f"{argv[0]} did not start: {Path(log).read_text()[-500:]}"

    def run(self, *argv, check=True):
        return subprocess.run(argv, env=self.env, check=check, capture_output=True, text=True, timeout=60).stdout

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


@pytest.fixture(scope="session")
def xvfb(tmp_path_factory):
    # No reset when the last client leaves: a program that connected just then was seen to lose its window
    # and go on drawing, windowless, for minutes.
    display = Display(["Xvfb", "-screen", "0", "1920x1080x24", "-noreset"], tmp_path_factory.mktemp("x") / "xvfb.log")
    yield display
    display.stop()


@pytest.fixture(scope="session")
def xorg_server(tmp_path_factory):
    log = tmp_path_factory.mktemp("x") / "xorg.log"
    display = Display(["Xorg", "-config", str(ROOT / "scripts/xorg-dummy.conf"), "-noreset", "-sharevts",
                       "-logfile", str(log)] + (["vt7"] if os.getuid() == 0 else []), log)
    display.run("xrandr", "--addmode", "DUMMY1", "1920x1080")
    yield display
    display.stop()


@pytest.fixture
def xorg(xorg_server):
    """Two 1920x1080 outputs side by side, the left one primary, a US keyboard."""
    xorg_server.run("xrandr", "--output", "DUMMY0", "--mode", "1920x1080", "--pos", "0x0", "--primary",
                    "--output", "DUMMY1", "--mode", "1920x1080", "--right-of", "DUMMY0")
    xorg_server.run("setxkbmap", "us")
    # Clients see a changed layout only after a plain query.
    xorg_server.run("xrandr")
    return xorg_server


def pytest_addoption(parser):
    parser.addoption("--sdl", help="the SDL program")
    parser.addoption("--exe", help="parallaxon.exe, run under Wine")
    parser.addoption("--photos", help="the tests' photo writer (e2e_photos)")


@pytest.fixture
def photos(pytestconfig):
    """Writes a photo: photos("heic" | "mpo" | "jpeg", path, left colour[, right colour])."""
    tool = pytestconfig.getoption("photos")
    if not tool:
        pytest.skip("no photo writer (--photos)")
    # x265 leaves blocks behind, which a sanitized build's leak check would count as a failure.
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
    return lambda kind, path, *colours: subprocess.run([tool, kind, str(path)] + [",".join(map(str, c))
                                                                                  for c in colours], check=True, env=env)


def pytest_generate_tests(metafunc):
    if "program" in metafunc.fixturenames:
        metafunc.parametrize("program", [k for k in ("sdl", "exe") if metafunc.config.getoption(k)], indirect=True)


@pytest.fixture(scope="session")
def wine_env(pytestconfig):
    exe = Path(pytestconfig.getoption("exe")).resolve()
    env = dict(os.environ, WINEPREFIX=str(exe.parent / "wpfx"), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    if not (exe.parent / "wpfx/system.reg").exists():
        subprocess.run(["wineboot", "-i"], env={k: v for k, v in env.items() if k != "DISPLAY"}, check=True,
                       capture_output=True, timeout=300)
    # A Wine session keeps the display it first met: none may outlive a run.
    subprocess.run(["wineserver", "-w"], env=env, timeout=300)
    return env


@pytest.fixture
def program(request):
    folder = Path(tempfile.mkdtemp(prefix="parallaxon-e2e-"))
    folder.chmod(0o777)
    wine_env = request.getfixturevalue("wine_env") if request.param == "exe" else None
    program = Program(str(Path(request.config.getoption(request.param)).resolve()), folder, wine_env)
    yield program
    for run in program.runs:
        run.kill()
    shutil.rmtree(folder, ignore_errors=True)


class Program:
    """The SDL program or the exe under Wine, run in its own scratch folder."""

    def __init__(self, path, folder, wine_env):
        self.path, self.folder, self.wine_env, self.wine, self.runs = path, folder, wine_env, bool(wine_env), []
        # A stand-in for the screenshot converter, whatever is installed. It says when it runs and waits for a
        # go: keys released meanwhile are seen released by the frame after the screenshot, however slow. It
        # copies the BMP to the PNG once told to (converter.c is the exe's).
        (folder / "bin").mkdir()
        if self.wine:
            shutil.copy(Path(path).parent / "magick.exe", folder / "bin")
        else:
            (folder / "bin/magick").write_text("#!/bin/sh\ntouch converting\nuntil [ -e go ]; do sleep 0.01; done\n"
                                               'rm go converting\n[ -e copies ] && cp "$3" "$4"\n')
            (folder / "bin/magick").chmod(0o755)

    def config(self, *lines):
        (self.folder / "config.txt").write_bytes("".join(line + ("\r\n" if self.wine else "\n") for line in lines).encode())

    def saved(self, folder=None):
        """config.txt (of the scratch folder or another) as lines; the Windows build writes text mode, CR LF."""
        text = ((folder or self.folder) / "config.txt").read_bytes().decode()
        if self.wine:
            assert text.count("\n") == text.count("\r\n"), repr(text)
        return text.splitlines()

    def start(self, display, user=None, args=(), show=None):
        """The program with its arguments, started in its scratch folder; screenshots are looked for in the
        folder of the show (default: the scratch folder)."""
        run = Run(self, display, user, args, show)
        self.runs.append(run)
        return run

    def arg(self, path):
        """A path as the program's command line spells it: on Windows with a drive and backslashes."""
        return "Z:" + str(path).replace("/", "\\") if self.wine else str(path)

    def run_briefly(self, *args):
        """Runs the program to its end without a display: its exit status and what it printed."""
        argv = (["wine"] if self.wine else []) + [self.path, *args]
        env = {k: v for k, v in (self.wine_env or os.environ).items() if k != "DISPLAY"}
        done = subprocess.run(argv, cwd=self.folder, env=env, capture_output=True, timeout=120)
        return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")


class Run:
    def __init__(self, program, display, user, args=(), show=None):
        self.program, self.display, self.folder, self.held = program, display, show or program.folder, set()
        env = dict(program.wine_env or display.env, DISPLAY=display.env["DISPLAY"], ASAN_OPTIONS="detect_leaks=0",
                   PATH=f"{program.folder}/bin:{os.environ['PATH']}", HOME=str(program.folder),
                   WINEPATH="Z:" + str(program.folder / "bin").replace("/", "\\"))
        argv = (["wine", program.path] if program.wine else [program.path]) + list(args)
        if user:
            argv = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + argv
        self.log = program.folder / "program.log"
        self.proc = subprocess.Popen(argv, cwd=program.folder, env=env, stdout=open(self.log, "a"), stderr=subprocess.STDOUT)

    def alive(self, what):
        assert self.proc.poll() is None, f"ended with {self.proc.returncode} before {what}: {self.log.read_text()[-500:]}"

    def window(self):
        """The window's x, y, width, height once it is mapped; the pointer is put in it, which gives it the keys."""
        def search():
            self.alive("its window appeared")
            return self.display.run("xdotool", "search", "--onlyvisible", "--name", "^Parallaxon", check=False)
        ident = wait_for("window", search, 30).split()[0]
        shell = dict(line.split("=") for line in self.display.run("xdotool", "getwindowgeometry", "--shell",
                                                                   ident).split())
        x, y, w, h = (int(shell[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        self.display.run("xdotool", "mousemove", "--sync", str(x + w // 3), str(y + h // 3))
        return x, y, w, h

    def keys(self, action, *keys):
        if keys:
            self.display.run("xdotool", *[a for key in keys for a in (action, key)])
        self.held = (self.held | set(keys)) if action == "keydown" else (self.held - set(keys))

    def pointer(self):
        shell = dict(line.split("=") for line in self.display.run("xdotool", "getmouselocation", "--shell").split())
        return int(shell["X"]), int(shell["Y"])

    def shot(self, *held):
        """The program's own Ctrl+S screenshot; Ctrl, S and the keys held are released during the screenshot.
        S counts when newly pressed: should a frame miss its release (Wine may), it is pressed again."""
        converting = self.folder / "converting"
        if converting.exists():
            self.go(converting)
        for old in self.folder.glob("3dimage_*.bmp"):
            old.unlink(missing_ok=True)
        self.keys("keydown", "ctrl")
        for patience in (5, 10, 20, 40):
            self.keys("keydown", "s")
            try:
                wait_for("screenshot", lambda: self.alive("a screenshot") or converting.exists(), patience)
                break
            except TimeoutError:
                self.keys("keyup", "s")
                time.sleep(patience / 10)
        else:
            raise TimeoutError("no screenshot within 75 s")
        data = next(self.folder.glob("3dimage_*.bmp")).read_bytes()
        self.keys("keyup", *held, "s", "ctrl")
        self.go(converting)
        return Shot(data)

    def go(self, converting):
        (self.folder / "go").touch()
        wait_for("end of the converter", lambda: not converting.exists())

    def press(self, key):
        """A screenshot once a frame has seen the key pressed and a later one released (under Wine the frame
        right after its release may miss that: a second screenshot, with S pressed after it, tells)."""
        self.keys("keydown", key)
        self.shot(key)
        return self.shot()

    def ended(self, timeout=60):
        """The exit status, once the program has ended by itself. A screenshot taken twice (its S pressed again
        when the first was slow) has a converter still waiting, which the program waits for at its end."""
        def done():
            if (self.folder / "converting").exists():
                (self.folder / "go").touch()
            return self.proc.poll() is not None
        wait_for("end of the program", done, timeout)
        if self.program.wine:
            subprocess.run(["wineserver", "-w"], env=self.program.wine_env, timeout=300)
        return self.proc.returncode

    def quit(self, key="Escape"):
        self.keys("keydown", key)
        status = self.ended()
        self.keys("keyup", key)
        return status

    def kill(self):
        self.keys("keyup", *self.held)
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.program.wine:
            subprocess.run(["wineserver", "-k"], env=self.program.wine_env)

