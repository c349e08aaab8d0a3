#!/usr/bin/env bash
# Builds the slideshow, renders the demo slides into demo/ and shows them.
#
#   bash scripts/demo.sh                   the slideshow, full screen (Esc or Q ends it)
#   bash scripts/demo.sh --headless [DIR]  no screen needed: one screenshot per stereo
#                                          mode 0 to 12, as PNG files in DIR
#                                          (default demo/screenshots)
#   bash scripts/demo.sh --docs            the same on a 960x540 screen, into docs/
#
# Without a DISPLAY the first form works like --headless. Each run renders the
# demo afresh, so demo/config.txt starts again from its commented original.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-demo
DEMO=$ROOT/demo

headless=0
screen=1920x1080x24
out=$DEMO/screenshots
case "${1:-}" in
--headless)
    headless=1
    [ -n "${2:-}" ] && out=$(mkdir -p "$2" && cd "$2" && pwd)
    ;;
--docs)
    headless=1
    screen=960x540x24
    out=$ROOT/docs
    ;;
"") [ -z "${DISPLAY:-}" ] && headless=1 ;;
*)
    sed -n '2,12s/^# \{0,1\}//p' "$0"
    exit 2
    ;;
esac

bash "$ROOT/scripts/install-deps.sh" build
[ $headless = 1 ] && bash "$ROOT/scripts/install-deps.sh" demo

echo "demo: building the slideshow in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -DPARALLAXON_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" --target parallaxon >/dev/null
# The generator needs only libjpeg-turbo beside the standard library: built
# directly, it spares the tools folder's own requirements.
if [ ! -x "$BUILD/demogen" ] || [ "$ROOT/tools/demogen.cpp" -nt "$BUILD/demogen" ]; then
    # shellcheck disable=SC2046
    "${CXX:-c++}" -std=c++17 -O2 -pthread -o "$BUILD/demogen" "$ROOT/tools/demogen.cpp" \
        $(pkg-config --cflags --libs libturbojpeg)
fi
echo "demo: rendering the demo slides into $DEMO"
"$BUILD/demogen" "$DEMO" >/dev/null
PARALLAXON=$BUILD/parallaxon

if [ $headless = 0 ]; then
    cat <<'EOF'
demo: starting the slideshow. Keys:
  Esc or Q        quit (the settings are written back to demo/config.txt)
  P               pause          Left, Right    previous, next slide
  Shift + mouse   move the two views apart (Shift + Ctrl + mouse: vertically)
  M, Shift + M    next, previous stereo mode (the one in use is kept at Esc)
  Ctrl + S        screenshot in demo/
  Or edit "Stereo mode" in demo/config.txt for your display (0 to 12).
EOF
    cd "$DEMO"
    exec "$PARALLAXON"
fi

# Headless: one run per stereo mode on a virtual screen, each ended after its
# screenshot, which the program's converter turns into a PNG (ImageMagick 6's
# convert standing in for magick). The slide stands still (no zoom) so every
# mode shows the same picture.
mkdir -p "$out"
RUN=$(mktemp -d /tmp/parallaxon-demo.XXXXXX)
XVFB=""
trap '[ -n "$XVFB" ] && kill "$XVFB"; rm -rf "$RUN"' EXIT
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$RUN/display" 2>/dev/null &
XVFB=$!
timeout 30 sh -c "until [ -s '$RUN/display' ]; do sleep 0.1; done"
export DISPLAY=:$(cat "$RUN/display")
mkdir "$RUN/bin"
printf '#!/bin/sh\nexec convert "$@"\n' >"$RUN/bin/magick"
chmod +x "$RUN/bin/magick"
for f in "$DEMO"/*.bmp "$DEMO"/*.jpg "$DEMO"/*.mpo "$DEMO"/*.jps; do ln -s "$f" "$RUN/$(basename "$f")"; done
names=(none top-bottom side-by-side interlace two-screen-side-by-side two-screen-vertical coloured coloured coloured
    tv-top-bottom column-interlace checkerboard frame-packing)
for mode in "${!names[@]}"; do
    sed -e "s/^Stereo mode: .*/Stereo mode: $mode/" -e "s/^Slide time: .*/Slide time: 1000/" \
        -e "s/^Slide pause before zoom: .*/Slide pause before zoom: 1000/" "$DEMO/config.txt" >"$RUN/config.txt"
    (cd "$RUN" && PATH="$RUN/bin:$PATH" exec "$PARALLAXON" >"$RUN/program.log" 2>&1) &
    timeout 60 xdotool search --sync --onlyvisible --name '^Parallaxon' >/dev/null
    # Keys are held until their effect shows: the program reads them once a frame.
    xdotool mousemove 100 100 keydown ctrl keydown s
    timeout 60 sh -c "until ls '$RUN'/3dimage_*.png && ! ls '$RUN'/3dimage_*.bmp; do sleep 0.1; done" >/dev/null 2>&1 ||
        { echo "demo: stereo mode $mode: no screenshot ($(tail -c 200 "$RUN/program.log"))" >&2; exit 1; }
    xdotool keyup s keyup ctrl keydown Escape
    wait $!
    xdotool keyup Escape
    png=$out/stereo-mode-$mode-${names[$mode]}.png
    mv "$RUN"/3dimage_*.png "$png"
    echo "demo: stereo mode $mode: $png"
done
echo "demo: screenshots of stereo modes 0 to 12 are in $out"
