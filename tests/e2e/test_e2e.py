"""What only a real X server shows: windows on monitors, keys and mouse through X, the files left on disk."""
import os
import subprocess
import time
import zipfile
from pathlib import Path

import pytest
from conftest import BLUE, DEFAULTS, GREEN, RED, STILL, YELLOW, bmp, wait_for


def red_green_slide(program, *settings):
    """One slide standing still, its left eye red and its right one green, with the settings given."""
    bmp(program.folder / "l.bmp", [[RED]])
    bmp(program.folder / "r.bmp", [[GREEN]])
    program.config(*STILL, *settings, "Left image: l.bmp", "Right image: r.bmp")


def test_folder_of_pairs_mpo_and_spatial_heic_each_eye_where_it_belongs(program, xvfb, photos):
    # The folder show in natural name order, side by side: the left eye's picture in the left half.
    photos("jpeg", program.folder / "a_L.jpg", RED)
    photos("jpeg", program.folder / "a_R.jpg", GREEN)
    photos("mpo", program.folder / "b.mpo", BLUE, YELLOW)
    photos("heic", program.folder / "c.heic", GREEN, RED)
    program.config(*STILL, "Stereo mode: 2")
    run = program.start(xvfb)
    run.window()
    shots = [run.shot(), run.press("Right"), run.press("Right")]
    assert run.quit() == 0
    seen = [(shot(480, 540), shot(1440, 540)) for shot in shots]
    # Lossy coding leaves each colour within a few steps.
    assert all(abs(a - b) < 16 for pair, want in zip(seen, [(RED, GREEN), (BLUE, YELLOW), (GREEN, RED)])
               for got, colour in zip(pair, want) for a, b in zip(got, colour)), seen
    assert "Left image: c.heic" in program.saved()


def test_keys_tapped_while_slides_load_count(program, xvfb):
    # Large pictures keep the program busy at the start and at each change; taps of 60 ms all count, Esc's too.
    for n, colour in enumerate((RED, GREEN, BLUE, YELLOW)):
        bmp(program.folder / f"big{n}.bmp", [[colour]], 2000, 1500)
    program.config(*STILL, *[f"{eye} image: big{n}.bmp" for n in range(4) for eye in ("Left", "Right")])
    run = program.start(xvfb)
    run.window()

    def tap(key):
        run.keys("keydown", key)
        time.sleep(0.06)
        run.keys("keyup", key)
    for key in ("Right", "Right", "Right"):
        tap(key)
    assert wait_for("the fourth slide", lambda: run.shot()(960, 540) == YELLOW)
    tap("Left")
    tap("Escape")
    assert run.ended() == 0
    assert program.saved()[-3:] == DEFAULTS


def test_shift_and_mouse_edit_the_offset(program, xvfb):
    # The right eye in quadrants, shown 3 times as large in mode 0: its centre is at the window's centre.
    bmp(program.folder / "left.bmp", [[YELLOW]], 640, 360)
    bmp(program.folder / "right.bmp", [[RED, GREEN], [BLUE, (255, 255, 255)]], 640, 360)
    program.config(*STILL, "Left image: left.bmp", "Right image: right.bmp", "Stereo offset: 0,0")
    run = program.start(xvfb)
    run.window()
    probes = [(940, 520), (1000, 575), (1000, 595), (1040, 575), (1040, 595), (30, 300)]
    seen = [[shot(*p) for shot in [run.shot()] for p in probes]]
    # Shift pins the pointer to the window's centre every frame: there, Shift has been seen or a move taken.
    # The keys are let go during the screenshot after each edit, so the next frame sees them released.
    for keys, move in ((["shift"], ["40", "0"]), (["ctrl", "shift"], ["0", "30"])):
        run.display.run("xdotool", "mousemove", "--sync", "100", "100")
        run.keys("keydown", *keys)
        wait_for("pointer at the centre", lambda: run.pointer() == (960, 540))
        run.display.run("xdotool", "mousemove_relative", "--", *move)
        wait_for("pointer back at the centre", lambda: run.pointer() == (960, 540))
        seen.append([shot(*p) for shot in [run.shot(*keys)] for p in probes])
    # 40 of 640 and 30 of 360 image pixels: the right eye moves by half of that, 60 and 45 window pixels.
    white = (255, 255, 255)
    assert seen == [[RED, white, white, white, white, RED], [RED, BLUE, BLUE, white, white, YELLOW],
                    [RED, RED, BLUE, GREEN, white, YELLOW]]
    assert run.quit() == 0
    assert "Stereo offset: 0.0625,0.0833333" in program.saved()


# Where the eyes go: the left eye is red, the right one green. The interleaved modes put the right eye on even
# desktop rows or columns, or where desktop x + y is even; swapped, on odd ones. Frame packing puts the left eye
# on top, a black band of 1080 / 49 rows, the right eye below.
LAYOUTS = [(3, "0,0", "N", lambda x, y: GREEN if y % 2 == 0 else RED),
           (3, "0,1", "N", lambda x, y: GREEN if (y + 1) % 2 == 0 else RED),
           (3, "0,1", "Y", lambda x, y: RED if (y + 1) % 2 == 0 else GREEN),
           (9, "1,1", "N", lambda x, y: RED if y < 540 else GREEN),
           (10, "1,1", "N", lambda x, y: GREEN if (x + 1) % 2 == 0 else RED),
           (11, "1,1", "N", lambda x, y: GREEN if (x + y + 2) % 2 == 0 else RED),
           (12, "1,1", "N", lambda x, y: RED if y < 529 else GREEN if y >= 551 else (0, 0, 0))]


@pytest.mark.parametrize("mode, offset, swap, expected", LAYOUTS, ids=[f"{m}-{o}-{s}" for m, o, s, _ in LAYOUTS])
def test_stereo_layouts_keep_each_eye_on_its_pixels(program, xvfb, mode, offset, swap, expected):
    if program.wine and mode in (11, 12):
        pytest.skip("the exe shows one interleaved and one split mode; the SDL program shows all")
    red_green_slide(program, f"Stereo mode: {mode}", f"Fullscreen offset: {offset}", f"Swap stereo: {swap}")
    run = program.start(xvfb)
    assert run.window() == (int(offset[0]), int(offset[-1]), 1920, 1080)
    shot = run.shot()
    assert run.quit() == 0
    probes = [(x, y) for y in (0, 1, 2, 3, 500, 529, 530, 539, 540, 541, 550, 551, 1078, 1079) for x in (0, 1, 2, 1919)]
    assert [shot(x, y) for x, y in probes] == [expected(x, y) for x, y in probes]


def test_read_only_config_is_left_alone(program, xvfb):
    red_green_slide(program)
    path = program.folder / "config.txt"
    path.chmod(0o444)
    before = path.read_bytes()
    # Root writes any file: the SDL program runs as nobody instead; Wine's prefix is root's own.
    if os.getuid() == 0 and program.wine:
        pytest.skip("Wine lets root write a read-only file")
    run = program.start(xvfb, user=65534 if os.getuid() == 0 else None)
    run.window()
    assert run.shot()(960, 540) == GREEN
    assert run.quit() == 0
    assert path.read_bytes() == before and not (program.folder / "config.txt.new").exists()


MONITORS = [("auto", "DUMMY0", (0, 0, 1920, 1080)), ("auto", "DUMMY1", (1920, 0, 1920, 1080)),
            ("display 2", "DUMMY0", (1920, 0, 1920, 1080)), ("span", "DUMMY0", (0, 0, 3840, 1080))]


@pytest.mark.parametrize("resolution, primary, rectangle", MONITORS)
def test_window_on_two_monitors(program, xorg, resolution, primary, rectangle):
    xorg.run("xrandr", "--output", primary, "--primary")
    xorg.run("xrandr")
    red_green_slide(program, f"Resolution: {resolution}")
    run = program.start(xorg)
    assert run.window() == rectangle
    shot = run.shot()
    assert (shot.width, shot.height, shot(rectangle[2] - 1, 1079)) == (*rectangle[2:], GREEN)
    assert run.quit() == 0


def test_keyboard_layouts_letters_by_their_labels(program, xorg):
    xorg.run("setxkbmap", "fr")
    red_green_slide(program)
    run = program.start(xorg)
    run.window()
    # A frame that saw the key held has ended without quitting once its screenshot is there: A lies where
    # QWERTY has Q, and the comma where it has M.
    assert [run.press(key)(960, 540) for key in ("a", "comma")] == [GREEN, GREEN]
    # M, wherever the layout puts it: top/bottom, the left eye below.
    shot = run.press("m")
    assert (shot(960, 10), shot(960, 1070)) == (GREEN, RED)
    # A letter of another script keeps its key's place: the Russian layout's key at Q quits (the SDL program maps
    # keys itself; for the exe, Windows does).
    if not program.wine:
        xorg.run("setxkbmap", "ru")
    assert run.quit("q" if program.wine else "Cyrillic_shorti") == 0
    assert program.saved()[-1] == "Stereo mode: 1"


def test_command_line_help_version_and_mistakes(program):
    status, out, _ = program.run_briefly("--help")
    assert status == 0 and out.startswith("Usage: parallaxon [FOLDER | PICTURE]") and "config.txt" in out
    status, out, _ = program.run_briefly("--version")
    assert status == 0 and out.startswith("parallaxon ") and out.count("\n") == 1
    before = sorted(program.folder.rglob("*"))
    for args, says in ((["--slow"], "unknown option '--slow'"), ([program.arg(program.folder / "gone")], "no such"),
                       (["a", "b"], "one folder or picture at most")):
        status, out, err = program.run_briefly(*args)
        assert (status, out, err.count("\n")) == (2, "", 1) and says in err, args
    assert sorted(program.folder.rglob("*")) == before


UNICODE_PAIRS = (("Café_shack_L.bmp", "Café_shack_R.bmp", RED), ("tilt🙂_L.bmp", "tilt🙂_R.bmp", GREEN),
                 ("東京-aloe-left.bmp", "東京-aloe-right.bmp", BLUE))


def test_command_line_folder_or_picture_and_unicode_names(program, xvfb):
    # The folder show of another folder, whose name has a blank, started from a picture named by an absolute or
    # a relative path, or from the folder: every slide shows, and its config.txt there keeps the names in UTF-8.
    show = program.folder / "my show"
    show.mkdir()
    for left, right, colour in UNICODE_PAIRS:
        bmp(show / left, [[YELLOW]])
        bmp(show / right, [[colour]])
    (show / "config.txt").write_text("\n".join(STILL) + "\n")
    (show / "copies").touch()  # the converter stand-in copies each screenshot's BMP to its PNG
    for arg, keys, colours in ((show / UNICODE_PAIRS[1][0], ("Right", "Left", "Left"), [GREEN, BLUE, GREEN, RED]),
                               ("my show/" + UNICODE_PAIRS[2][1], (), [BLUE]), ("my show", (), [RED])):
        run = program.start(xvfb, args=[program.arg(arg)], show=show)
        run.window()
        shots = [run.shot()] + [run.press(key) for key in keys]
        assert [shot(960, 540) for shot in shots] == colours, arg
        assert run.quit("q") == 0
        assert not (program.folder / "config.txt").exists()
        saved = program.saved(show)
        assert all(f"Left image: {left}" in saved and f"Right image: {right}" in saved for left, right, _ in UNICODE_PAIRS)
    # The screenshots' BMPs made way for their PNGs (the next screenshot may come before a copy is done).
    pngs = [png.read_bytes() for png in show.glob("3dimage_*.png")]
    assert not list(show.glob("3dimage_*.bmp")) and shots[-1].data in pngs
    if program.wine:
        # A list written by an older program in the ANSI code page (Windows-1252 here) still opens its files.
        listed = STILL + ["Left image: Café_shack_L.bmp", "Right image: Café_shack_R.bmp", ""]
        (show / "config.txt").write_bytes("\r\n".join(listed).encode("cp1252"))
        run = program.start(xvfb, args=[program.arg(show)], show=show)
        run.window()
        assert run.shot()(960, 540) == RED
        assert run.quit() == 0


def test_packed_program(program, tmp_path):
    """The program as it is handed out: the files of the Debian package, or the Windows zip."""
    build = Path(program.path).parent
    subprocess.run(["cpack", "-G", "ZIP" if program.wine else "DEB", "-B", str(tmp_path)], cwd=build, check=True,
                   capture_output=True, timeout=600)
    if program.wine:
        with zipfile.ZipFile(next(tmp_path.glob("parallaxon-*-windows-x86_64.zip"))) as packed:
            names = packed.namelist()
            packed.extractall(tmp_path)
        top = names[0].split("/")[0]
        assert {f"{top}/{name}" for name in ("parallaxon.exe", "README.txt", "licenses/DejaVu-LICENSE.txt",
                                             "licenses/libz-mingw-w64-dev.txt")} <= set(names)
        program.path = str(tmp_path / top / "parallaxon.exe")
    else:
        deb = next(tmp_path.glob("parallaxon_*_amd64.deb"))
        depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], check=True, capture_output=True, text=True).stdout
        assert "libsdl2" in depends and "libturbojpeg0" in depends and "libspng0" in depends
        subprocess.run(["dpkg-deb", "-x", deb, tmp_path / "root"], check=True)
        share = tmp_path / "root/usr/share"
        for part in ("applications/parallaxon.desktop", "mime/packages/parallaxon.xml", "man/man1/parallaxon.1",
                     "icons/hicolor/scalable/apps/parallaxon.svg"):
            assert (share / part).is_file(), part
        assert "Exec=parallaxon %f" in (share / "applications/parallaxon.desktop").read_text()
        program.path = str(tmp_path / "root/usr/bin/parallaxon")
    # It runs from where it is unpacked (its window is the built program's, which the other scenarios show).
    status, out, _ = program.run_briefly("--version")
    assert status == 0 and out.startswith("parallaxon ")
