#!/usr/bin/env bash
# End-to-end checks of the real slideshow on X servers: what a viewer sees (the
# program's own Ctrl+S screenshots, compared pixel by pixel with what each
# stereo mode must show) and what the program leaves in config.txt.
#
#   bash scripts/acceptance.sh [path/to/parallaxon]
#
# Without a path the SDL program is built in build-accept/. WINDOWS_PROGRAM=1
# says the program is the Windows build (run through Wine by a wrapper): its
# config.txt is written with CR LF line ends, and it cannot run as another user. Every scenario runs
# in a fresh folder under a temporary directory (kept when KEEP=1). One line per
# scenario, then the summary line; the exit status is 1 when any scenario failed.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=acceptance/x11.sh
. "$ROOT/scripts/acceptance/x11.sh"
CHECK=(python3 "$ROOT/scripts/acceptance/check.py")

need_packages xvfb xauth xdotool x11-xserver-utils python3 || exit 1
if [ $# -ge 1 ]; then
    PARALLAXON=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
else
    need_packages g++ make cmake pkg-config libsdl2-dev || exit 1
    cmake -S "$ROOT" -B "$ROOT/build-accept" -DPARALLAXON_TESTS=OFF >/dev/null &&
        cmake --build "$ROOT/build-accept" -j2 --target parallaxon >/dev/null || {
        echo "acceptance: the program does not build"
        echo "acceptance: 0 passed, 1 failed"
        exit 1
    }
    PARALLAXON=$ROOT/build-accept/parallaxon
fi
[ -x "$PARALLAXON" ] || { echo "acceptance: no program at $PARALLAXON"; exit 1; }

WORK=$(mktemp -d /tmp/parallaxon-acceptance.XXXXXX)
chmod 755 "$WORK"
cleanup() {
    [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null
    stop_xserver
    if [ "${KEEP:-0}" = 1 ]; then echo "acceptance: files kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# The screenshot converter is an outside tool; a stand-in that always fails
# keeps every screenshot a BMP, whatever is installed here.
mkdir -p "$WORK/bin"
printf '#!/bin/sh\nexit 1\n' >"$WORK/bin/magick"
chmod 755 "$WORK/bin/magick"
export PATH="$WORK/bin:$PATH"

PASSED=0
FAILED=0
REASON=""
fail() {
    [ -z "$REASON" ] && REASON=$*
    return 1
}

# scenario NAME FUNCTION [ARGS...]: runs the function in a fresh folder.
scenario() {
    local name=$1 fn=$2
    shift 2
    local dir
    dir=$WORK/$(printf '%02d' $((PASSED + FAILED + 1)))-$(echo "$name" | tr -c 'a-zA-Z0-9\n' '-')
    mkdir -p "$dir"
    chmod 777 "$dir"
    REASON=""
    PROGRAM_PID=""
    "$fn" "$dir" "$@"
    local ok=$?
    if [ -n "$PROGRAM_PID" ] && program_running; then
        kill "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
        [ $ok -eq 0 ] && { ok=1; REASON="the program was still running at the end"; }
    fi
    if [ $ok -eq 0 ] && [ -z "$REASON" ]; then
        PASSED=$((PASSED + 1))
        echo "PASS  $name"
    else
        FAILED=$((FAILED + 1))
        echo "FAIL  $name: ${REASON:-failed}"
    fi
}

check() {
    local out
    out=$("${CHECK[@]}" "$@" 2>&1) || fail "$out"
}

# Starts the program in a folder and waits for its window.
launch() {
    touch "$1/.started"
    start_program "$1"
    wait_window >/dev/null && return 0
    if program_running; then
        fail "no window within 30 s ($(tail -c 300 "$1/program.log" 2>/dev/null))$(main_thread_stack)"
    else
        wait "$PROGRAM_PID"
        fail "the program ended with status $? before its window appeared ($(tail -c 300 "$1/program.log"))"
    fi
}

# Where a program that does not react is stuck, when gdb is there to tell.
main_thread_stack() {
    command -v gdb >/dev/null || return 0
    local frames
    frames=$(gdb -p "$PROGRAM_PID" -batch -ex "bt 30" 2>/dev/null | grep '^#' | grep -v ' in ?? ()' |
        sed -e 's/^#[0-9]* *\(0x[0-9a-f]* in \)\{0,1\}//' -e 's/ (.*//' | head -n 12 | tr '\n' ' ')
    [ -n "$frames" ] && echo "; main thread in: $frames"
}

# Esc, then the program must be gone with status 0.
quit_ok() {
    local i where
    xdotool keydown Escape
    for i in $(seq 1 200); do
        program_running || break
        sleep 0.1
    done
    xdotool keyup Escape
    if program_running; then
        where=$(main_thread_stack)
        kill "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
        if [ -d "$d" ] && [ "$d/config.txt" -nt "$d/.started" ]; then
            fail "after Esc config.txt was written but the process did not end within 20 s$where"
        else
            fail "the program did not end within 20 s of Esc$where"
        fi
        return 1
    fi
    wait "$PROGRAM_PID"
    PROGRAM_STATUS=$?
    [ "$PROGRAM_STATUS" -eq 0 ] || fail "exit status $PROGRAM_STATUS after Esc"
}

shot() {
    take_screenshot "$1" "$1/$2.bmp" || fail "Ctrl+S gave no screenshot ($2)"
}

no_fatal() {
    ! grep -q "FATAL" "$1/program.log" 2>/dev/null || fail "$(grep FATAL "$1/program.log" | head -n 1)"
}

STILL="Slide time: 1000
Slide pause before zoom: 1000"

DESCRIPTIVE="Resolution (XxY, 'auto', 'span', 'display N' or 'span N,M...'): auto
Stereo mode (0=none,1=top/bottom,2=side-by-side,3=interlace,4=two screen SBS,5=two screen vertical,6-8=coloured): 0
Swap stereo (Y/N): N"

RED=200,30,40
GREEN=20,180,60
BLUE=40,60,210
YELLOW=230,210,20

# The test pictures, made once and linked into the scenario folders.
PICTURES=$WORK/pictures
make_pictures() {
    mkdir -p "$PICTURES"
    local c=("${CHECK[@]}")
    "${c[@]}" solid "$PICTURES/red.bmp" 64 64 $RED &&
        "${c[@]}" solid "$PICTURES/green.bmp" 64 64 $GREEN &&
        "${c[@]}" solid "$PICTURES/blue.bmp" 64 64 $BLUE &&
        "${c[@]}" solid "$PICTURES/yellow.bmp" 64 64 $YELLOW &&
        "${c[@]}" grid "$PICTURES/grid-left.bmp" 640 360 left &&
        "${c[@]}" grid "$PICTURES/grid-right.bmp" 640 360 right &&
        "${c[@]}" sbs "$PICTURES/sbs.bmp" 1280 360 &&
        "${c[@]}" truncated "$PICTURES/truncated.bmp" &&
        "${c[@]}" onebit "$PICTURES/onebit.bmp" &&
        "${c[@]}" garbage "$PICTURES/garbage.txt" 20000 6 &&
        chmod 644 "$PICTURES"/* && chmod 755 "$PICTURES"
}
pictures() {
    local d=$1 name
    shift
    for name in "$@"; do ln -s "$PICTURES/$name.bmp" "$d/$name.bmp"; done
}

# ---- Slides and timing ----

counted_show() {
    local d=$1
    pictures "$d" red green
    cat >"$d/config.txt" <<EOF
Three short slides, then the show ends by itself
Slides to show: 3
Slide time: 0.6
Slide pause before zoom: 0.2
Left image: red.bmp
Right image: green.bmp
Left image: green.bmp
Right image: red.bmp
Left image: red.bmp
Right image: red.bmp
EOF
    cp "$d/config.txt" "$d/config.before"
    start_program "$d"
    wait_program_end 60 || fail "still running 60 s after the start"
    [ "$PROGRAM_STATUS" -eq 0 ] || fail "exit status $PROGRAM_STATUS"
    cmp -s "$d/config.txt" "$d/config.before" || fail "config.txt changed"
    no_fatal "$d"
}

# config.txt as the program wrote it, in LF lines. The Windows build writes
# text mode: every line must end in CR LF there, and the CRs are dropped here.
written_config() {
    local file=$1/config.txt
    if [ "${WINDOWS_PROGRAM:-0}" = 1 ]; then
        [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] || echo "(not every line ends in CR LF)"
        tr -d '\r' <"$file"
    else
        cat "$file"
    fi
}

esc_rewrites() {
    local d=$1
    pictures "$d" red
    printf '%s\r\n' "A comment, then settings written every which way" >"$d/config.txt"
    printf '%s\n' "" "  Left image :   red.bmp   " "Right image:red.bmp" "Slide time: 1000" \
        "Slide pause before zoom:1000" "Caption:" "another comment" "Stereo mode: 0" >>"$d/config.txt"
    launch "$d" && quit_ok
    printf '%s\n' "Left image: red.bmp" "Right image: red.bmp" "Slide time: 1000" "Slide pause before zoom: 1000" \
        "Caption: " "Stereo mode: 0" "$DESCRIPTIVE" >"$d/expected.txt"
    written_config "$d" | cmp -s - "$d/expected.txt" ||
        fail "config.txt after Esc: $(written_config "$d" | diff "$d/expected.txt" - | head -n 6 | tr '\n' '|')"
}

pause_freezes() {
    local d=$1
    pictures "$d" grid-left grid-right
    # The zoom starts at once, so a running slide changes from frame to frame.
    printf '%s\n' "Slide time: 60" "Slide pause before zoom: 0" "Left image: grid-left.bmp" \
        "Right image: grid-right.bmp" "Caption:" >"$d/config.txt"
    launch "$d" || return 1
    shot "$d" running1
    sleep 1
    shot "$d" running2
    shot_with_key p "$d" "$d/paused1.bmp" || fail "no screenshot with P"
    sleep 1
    shot "$d" paused2
    shot_with_key p "$d" "$d/resumed1.bmp" || fail "no screenshot with P"
    sleep 1
    shot "$d" resumed2
    quit_ok
    [ -z "$REASON" ] || return 1
    check differ "$d/running1.bmp" "$d/running2.bmp"
    check same "$d/paused1.bmp" "$d/paused2.bmp"
    check differ "$d/resumed1.bmp" "$d/resumed2.bmp"
}

arrows_step() {
    local d=$1
    pictures "$d" red green blue yellow
    printf '%s\n' "$STILL" "Left image: yellow.bmp" "Right image: red.bmp" "Left image: yellow.bmp" \
        "Right image: green.bmp" "Left image: yellow.bmp" "Right image: blue.bmp" "Caption:" "Caption:" \
        "Caption:" >"$d/config.txt"
    launch "$d" || return 1
    local step=0 key colour
    for key_colour in start:$RED Right:$GREEN Right:$BLUE Right:$BLUE Left:$GREEN Left:$RED Left:$RED; do
        key=${key_colour%%:*}
        colour=${key_colour#*:}
        step=$((step + 1))
        if [ "$key" = start ]; then
            shot "$d" "step$step" || break
        else
            shot_with_key "$key" "$d" "$d/step$step.bmp" || { fail "no screenshot with $key"; break; }
        fi
        check expect "$d/step$step.bmp" --mode 0 --left solid:$YELLOW --right solid:"$colour" ||
            REASON="after $key (step $step): $REASON"
    done
    quit_ok
}

# ---- Stereo modes ----

# One run per mode: slide 1 solid colours, slide 2 a block pattern per eye,
# slide 3 one side-by-side file named for both eyes.
stereo_mode() {
    local d=$1 mode=$2 extra=${3:-} top=0 swap=()
    pictures "$d" red green grid-left grid-right sbs
    {
        echo "$STILL"
        echo "Stereo mode: $mode"
        [ -n "$extra" ] && echo "$extra"
        printf '%s\n' "Left image: red.bmp" "Right image: green.bmp" "Caption:" \
            "Left image: grid-left.bmp" "Right image: grid-right.bmp" "Caption:" \
            "Left image: sbs.bmp" "Right image: sbs.bmp" "Caption:"
    } >"$d/config.txt"
    case "$extra" in *"offset: 0,1"*) top=1 ;; esac
    case "$extra" in *"stereo: Y"*) swap=(--swap) ;; esac
    launch "$d" || return 1
    local id geometry
    id=$(wait_window)
    geometry=$(xdotool getwindowgeometry --shell "$id" | tr '\n' ' ')
    case "$geometry" in *"Y=$top "*) ;; *) fail "window geometry $geometry, expected its top at $top" ;; esac
    shot "$d" solid
    shot_with_key Right "$d" "$d/grid.bmp" || fail "no screenshot with Right"
    shot_with_key Right "$d" "$d/sbs.bmp" || fail "no screenshot with Right"
    quit_ok
    [ -z "$REASON" ] || return 1
    check expect "$d/solid.bmp" --mode "$mode" --top $top "${swap[@]}" --left solid:$RED --right solid:$GREEN ||
        { REASON="solid pair: $REASON"; return 1; }
    check expect "$d/grid.bmp" --mode "$mode" --top $top "${swap[@]}" --filtered \
        --left grid:left:640x360 --right grid:right:640x360 || { REASON="block pattern: $REASON"; return 1; }
    check expect "$d/sbs.bmp" --mode "$mode" --top $top "${swap[@]}" --filtered \
        --left sbs:1280x360 --right sbs:1280x360 || { REASON="side-by-side file: $REASON"; return 1; }
}

# ---- Offset editing ----

offset_editing() {
    local d=$1
    pictures "$d" grid-left grid-right
    printf '%s\n' "$STILL" "Left image: grid-left.bmp" "Right image: grid-right.bmp" "Stereo offset: 0,0" \
        "Caption:" >"$d/config.txt"
    launch "$d" || return 1
    shot "$d" before
    # Shift pins the pointer to the window centre (960,540) and every frame puts
    # it back there: a pointer back at the centre shows that the program has
    # taken the move. Each pointer pixel moves the offset by one image pixel:
    # 40 of 640 horizontally, then 30 of 360 vertically.
    xdotool mousemove --sync 100 100
    xdotool keydown shift
    wait_pointer_at 960 540 || fail "Shift did not centre the pointer"
    xdotool mousemove_relative -- 40 0
    wait_pointer_at 960 540 || fail "the pointer was not taken back to the centre"
    xdotool keyup shift
    shot "$d" horizontal
    xdotool keydown shift keydown ctrl
    # A screenshot taken with both held shows that a frame has seen them.
    take_screenshot "$d" "$d/held.bmp" keep-ctrl || fail "no screenshot with Shift+Ctrl"
    xdotool mousemove_relative -- 0 30
    wait_pointer_at 960 540 || fail "the pointer was not taken back to the centre"
    xdotool keyup ctrl keyup shift
    sleep 0.3
    shot "$d" vertical
    quit_ok
    [ -z "$REASON" ] || return 1
    local vertical
    vertical=$(python3 -c 'import struct; print("%g" % struct.unpack("f", struct.pack("f", 30 / 360))[0])')
    check expect "$d/before.bmp" --mode 0 --filtered --left grid:left:640x360 --right grid:right:640x360 ||
        { REASON="before: $REASON"; return 1; }
    check expect "$d/horizontal.bmp" --mode 0 --filtered --offset 0.0625,0 \
        --left grid:left:640x360 --right grid:right:640x360 || { REASON="after Shift: $REASON"; return 1; }
    check expect "$d/vertical.bmp" --mode 0 --filtered --offset "0.0625,$vertical" \
        --left grid:left:640x360 --right grid:right:640x360 || { REASON="after Shift+Ctrl: $REASON"; return 1; }
    written_config "$d" | grep -qx "Stereo offset: 0.0625,$vertical" ||
        fail "config.txt has $(grep -i 'stereo offset' "$d/config.txt" | tr '\n' '|'), expected 0.0625,$vertical"
}

# ---- Bad input ----

bad_image() {
    local d=$1 kind=$2
    pictures "$d" green
    [ "$kind" != missing ] && pictures "$d" "$kind"
    printf '%s\n' "$STILL" "Stereo mode: 2" "Left image: $kind.bmp" "Right image: green.bmp" "Caption:" \
        >"$d/config.txt"
    launch "$d" || return 1
    shot "$d" shown
    quit_ok
    no_fatal "$d"
    [ -z "$REASON" ] || return 1
    # The good right eye fills its half; the left half shows whatever the program makes of the bad file.
    check expect "$d/shown.bmp" --mode 2 --left unknown --right solid:$GREEN
}

empty_config() {
    local d=$1
    : >"$d/config.txt"
    launch "$d" && quit_ok
    no_fatal "$d"
    printf '%s\n' "$DESCRIPTIVE" >"$d/expected.txt"
    written_config "$d" | cmp -s - "$d/expected.txt" ||
        fail "config.txt after Esc: $(written_config "$d" | head -c 200 | tr '\n' '|')"
}

garbage_config() {
    local d=$1
    cp "$PICTURES/garbage.txt" "$d/config.txt"
    launch "$d" || return 1
    shot "$d" shown
    quit_ok
    no_fatal "$d"
    printf '%s\n' "$DESCRIPTIVE" >"$d/expected-tail.txt"
    written_config "$d" | tail -n 3 | cmp -s - "$d/expected-tail.txt" || fail "config.txt does not end in the three default entries"
}

readonly_config() {
    local d=$1
    pictures "$d" red green
    printf '%s\n' "A read-only settings file" "$STILL" "Left image: red.bmp" "Right image: green.bmp" "Caption:" \
        >"$d/config.txt"
    chmod 444 "$d/config.txt"
    cp -p "$d/config.txt" "$d/config.before"
    # Root may write any file: the program runs as nobody instead.
    local RUN_AS=""
    [ "$(id -u)" -eq 0 ] && RUN_AS=65534
    RUN_AS=$RUN_AS launch "$d" || return 1
    shot "$d" shown
    quit_ok
    no_fatal "$d"
    cmp -s "$d/config.txt" "$d/config.before" || fail "config.txt changed"
    [ ! -e "$d/config.txt.new" ] || fail "a config.txt.new was left behind"
    [ -z "$REASON" ] || return 1
    check expect "$d/shown.bmp" --mode 0 --left solid:$RED --right solid:$GREEN
}

# ---- Monitors (Xorg with two dummy outputs) ----

start_two_monitors() {
    need_packages xserver-xorg-core xserver-xorg-video-dummy >/dev/null 2>&1 || return 1
    local number vt=() i
    for number in $(seq 40 60); do [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] || break; done
    [ "$(id -u)" -eq 0 ] && vt=(vt7)
    Xorg ":$number" -config "$ROOT/scripts/xorg-dummy.conf" -noreset -sharevts -nolisten tcp -ac \
        -logfile "$WORK/xorg.log" "${vt[@]}" >/dev/null 2>&1 &
    XSERVER_PID=$!
    export DISPLAY=":$number"
    for i in $(seq 1 100); do
        xrandr >/dev/null 2>&1 && break
        kill -0 "$XSERVER_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    xrandr --addmode DUMMY1 1920x1080 2>/dev/null
    xrandr --output DUMMY0 --mode 1920x1080 --pos 0x0 --primary --output DUMMY1 --mode 1920x1080 --right-of DUMMY0 ||
        return 1
    [ "$(xrandr --listmonitors | head -n 1)" = "Monitors: 2" ]
}

monitor_window() {
    local d=$1 resolution=$2 want=$3
    pictures "$d" red
    printf '%s\n' "$STILL" "Resolution: $resolution" "Left image: red.bmp" "Right image: red.bmp" "Caption:" \
        >"$d/config.txt"
    launch "$d" || return 1
    local id x y w h
    id=$(wait_window)
    eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    [ "$X,$Y,${WIDTH}x$HEIGHT" = "$want" ] || fail "window at $X,$Y,${WIDTH}x$HEIGHT, expected $want"
    # Without a window manager the keyboard follows the pointer.
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    shot "$d" shown
    quit_ok
    [ -z "$REASON" ] || return 1
    check expect "$d/shown.bmp" --mode 0 --size "${WIDTH}x$HEIGHT" --left solid:$RED --right solid:$RED
}

# ---- The run ----

START=$(date +%s)
make_pictures || { echo "acceptance: cannot make the test pictures"; echo "acceptance: 0 passed, 1 failed"; exit 1; }
start_xvfb 1920x1080x24 || { echo "acceptance: Xvfb does not start"; echo "acceptance: 0 passed, 1 failed"; exit 1; }

scenario "slides: 'Slides to show: 3' ends with status 0, config.txt untouched" counted_show
scenario "slides: Esc rewrites config.txt without its comments" esc_rewrites
scenario "slides: P pauses (screenshots a second apart identical)" pause_freezes
scenario "slides: Right and Left step and stop at the ends" arrows_step
for mode in 0 1 2 3 4 5 6 7 8; do
    scenario "stereo mode $mode: solid pair, block pattern, side-by-side file" stereo_mode $mode
done
scenario "stereo mode 3, Fullscreen offset 0,1: the other row parity" stereo_mode 3 "Fullscreen offset: 0,1"
scenario "stereo mode 3, Swap stereo Y: the other row parity" stereo_mode 3 "Swap stereo: Y"
scenario "stereo mode 3, offset 0,1 and swap: parity back" stereo_mode 3 "Fullscreen offset: 0,1
Swap stereo: Y"
scenario "offset editing: Shift and Shift+Ctrl with the mouse, saved on Esc" offset_editing
scenario "bad input: missing image file" bad_image missing
scenario "bad input: truncated BMP" bad_image truncated
scenario "bad input: 1-bit BMP" bad_image onebit
scenario "bad input: zero-byte config.txt" empty_config
scenario "bad input: config.txt of binary garbage" garbage_config
# Root writes read-only files, so this runs the program as another user,
# which a Wine prefix does not allow.
[ "${WINDOWS_PROGRAM:-0}" = 1 ] || scenario "bad input: read-only config.txt" readonly_config
stop_xserver

if start_two_monitors; then
    scenario "monitors: 'display 2' opens on the second output" monitor_window "display 2" "1920,0,1920x1080"
    scenario "monitors: 'span' covers both outputs" monitor_window "span" "0,0,3840x1080"
    scenario "monitors: 'span 2' covers the second output only" monitor_window "span 2" "1920,0,1920x1080"
    scenario "monitors: 'display 3' falls back to the first output" monitor_window "display 3" "0,0,1920x1080"
else
    FAILED=$((FAILED + 1))
    echo "FAIL  monitors: no Xorg server with two dummy outputs ($(tail -n 3 "$WORK/xorg.log" 2>/dev/null | tr '\n' ' '))"
fi
stop_xserver

echo "acceptance: run time $(($(date +%s) - START)) s"
echo "acceptance: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
