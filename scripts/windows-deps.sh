#!/usr/bin/env bash
# Builds the image libraries of the Windows program, libjpeg-turbo (with the
# TurboJPEG API and its SIMD code), libspng with zlib, and libheif with
# libde265 (HEVC decoding only), as static mingw-w64 libraries from Debian's
# source packages, so that parallaxon.exe decodes as the Linux program does
# and still imports only system DLLs.
#
#   bash scripts/windows-deps.sh           build once, into a cache outside the clone
#   bash scripts/windows-deps.sh --prefix  print the cache folder (cmake/mingw-w64.cmake asks)
#
# The cache folder is named after the versions, so a second run does nothing
# and a new version builds beside the old one. PARALLAXON_CACHE moves it
# (default: ~/.cache/parallaxon).
set -euo pipefail

# Debian's versions of the source packages, those of the Linux packages used
# for the Linux build (apt-cache policy libturbojpeg0 libspng0 libheif1
# libde265-0), or the newest that apt-get source is served where the
# security archive serves binaries only.
JPEG_VERSION=1:2.1.5-2
SPNG_VERSION=0.7.3-3
HEIF_VERSION=1.15.1-1+deb12u1
DE265_VERSION=1.0.11-1+deb12u2

ROOT=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${PARALLAXON_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/parallaxon}
PREFIX=$CACHE/mingw-deps-jpeg${JPEG_VERSION#*:}-spng${SPNG_VERSION#*:}-heif$HEIF_VERSION-de265_$DE265_VERSION
HOST=x86_64-w64-mingw32
JPEG_UPSTREAM=${JPEG_VERSION#*:}
JPEG_UPSTREAM=${JPEG_UPSTREAM%-*}

case "${1:-}" in
--prefix)
    echo "$PREFIX"
    exit 0
    ;;
"") ;;
*)
    sed -n '2,13s/^# \{0,1\}//p' "$0"
    exit 2
    ;;
esac

if [ -f "$PREFIX/lib/pkgconfig/libturbojpeg.pc" ] && [ -f "$PREFIX/lib/pkgconfig/spng.pc" ] &&
    [ -f "$PREFIX/lib/pkgconfig/libheif.pc" ]; then
    echo "windows-deps: up to date in $PREFIX"
    exit 0
fi

START=$(date +%s)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
bash "$ROOT/scripts/install-deps.sh" windows-deps

WORK=$(mktemp -d /tmp/parallaxon-windows-deps.XXXXXX)
STAGE=$PREFIX.partial.$$
trap 'rm -rf "$WORK" "$STAGE"' EXIT
LOG=$WORK/build.log
# Runs a step with its output in the log, shown only when the step fails.
step() {
    echo "windows-deps: $1"
    shift
    if ! "$@" >>"$LOG" 2>&1; then
        tail -n 40 "$LOG" >&2
        echo "windows-deps: failed" >&2
        exit 1
    fi
}

served() {
    # All of the output is read: with pipefail, grep -q ending early would fail the pipe.
    apt-cache showsrc --only-source "$1" 2>/dev/null | grep -Fx "Version: $2" >/dev/null
}

# apt-get source needs deb-src entries beside the deb ones.
enable_sources() {
    local file=/etc/apt/sources.list.d/debian.sources
    if [ -f "$file" ]; then
        $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' "$file"
    else
        file=/etc/apt/sources.list
        grep -q '^deb-src ' "$file" || sed -n 's/^deb /deb-src /p' "$file" | $sudo tee -a "$file" >/dev/null
    fi
    $sudo apt-get update -qq
}

PINNED=("libjpeg-turbo $JPEG_VERSION" "libspng $SPNG_VERSION" "libheif $HEIF_VERSION" "libde265 $DE265_VERSION")
for pinned in "${PINNED[@]}"; do
    # shellcheck disable=SC2086
    served $pinned || {
        step "enabling Debian's source packages" enable_sources
        break
    }
done
for pinned in "${PINNED[@]}"; do
    # shellcheck disable=SC2086
    served $pinned || {
        echo "windows-deps: Debian no longer serves the source package ${pinned% *} ${pinned#* };" \
            "set the installed versions at the top of $0" >&2
        exit 1
    }
done

cd "$WORK"
step "fetching ${PINNED[*]}" \
    apt-get source --download-only "libjpeg-turbo=$JPEG_VERSION" "libspng=$SPNG_VERSION" "libheif=$HEIF_VERSION" \
    "libde265=$DE265_VERSION"
# Debian's patches (security fixes among them) apply on unpacking.
step "unpacking with Debian's patches" \
    sh -c 'for dsc in *.dsc; do dpkg-source -x "$dsc" || exit 1; done'
JPEG_SOURCE=$(echo "$WORK"/libjpeg-turbo-*/)
SPNG_SOURCE=$(echo "$WORK"/libspng-*/)
HEIF_SOURCE=$(echo "$WORK"/libheif-*/)
DE265_SOURCE=$(echo "$WORK"/libde265-*/)

mkdir -p "$STAGE/lib/pkgconfig" "$STAGE/include"
step "building libjpeg-turbo" sh -c "
    cmake -S '$JPEG_SOURCE' -B jpeg-build -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
        -DCMAKE_C_COMPILER=$HOST-gcc-posix -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF -DREQUIRE_SIMD=ON \
        -DCMAKE_INSTALL_PREFIX='$STAGE' &&
    cmake --build jpeg-build -j2 &&
    cmake --install jpeg-build"

# libspng is one C file; built with the options of Debian's own build
# (no architecture-specific code) against mingw-w64's static zlib.
step "building libspng" sh -c "
    $HOST-gcc-posix -std=c99 -O2 -DNDEBUG -DSPNG_STATIC -DSPNG_DISABLE_OPT -c '$SPNG_SOURCE/spng/spng.c' -o spng.o &&
    $HOST-ar rcs '$STAGE/lib/libspng.a' spng.o &&
    cp '$SPNG_SOURCE/spng/spng.h' '$STAGE/include/' &&
    cp /usr/$HOST/lib/libz.a '$STAGE/lib/' &&
    cp /usr/$HOST/include/zlib.h /usr/$HOST/include/zconf.h '$STAGE/include/'"

# The libraries built by CMake for Windows, static; the host's pkg-config
# files stay out of sight.
CROSS="-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 -DCMAKE_C_COMPILER=$HOST-gcc-posix \
    -DCMAKE_CXX_COMPILER=$HOST-g++-posix -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX='$STAGE'"
export PKG_CONFIG_LIBDIR=$STAGE/lib/pkgconfig PKG_CONFIG_PATH=
# libde265's library alone (its SSE code chosen at run time), without its tools.
step "building libde265" sh -c "
    cmake -S '$DE265_SOURCE' -B de265-build $CROSS -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF &&
    cmake --build de265-build -j2 &&
    cmake --install de265-build"
# libheif with libde265 built in; no encoders, no AV1, no plugins loaded from disk.
step "building libheif" sh -c "
    cmake -S '$HEIF_SOURCE' -B heif-build $CROSS -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF \
        -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DLIBDE265_INCLUDE_DIR='$STAGE/include' \
        -DLIBDE265_LIBRARY='$STAGE/lib/libde265.a' -DWITH_X265=OFF -DWITH_DAV1D=OFF -DWITH_AOM_DECODER=OFF \
        -DWITH_AOM_ENCODER=OFF -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=OFF &&
    cmake --build heif-build -j2 &&
    cmake --install heif-build"

mkdir -p "$STAGE/share/licenses"
cp "$JPEG_SOURCE/LICENSE.md" "$STAGE/share/licenses/libjpeg-turbo.md"
cp "$SPNG_SOURCE/LICENSE" "$STAGE/share/licenses/libspng.txt"
cp "$HEIF_SOURCE/COPYING" "$STAGE/share/licenses/libheif.txt"
cp "$DE265_SOURCE/COPYING" "$STAGE/share/licenses/libde265.txt"

# Relative to the .pc files, so the folder may move; zlib is named in Libs
# because only static libraries are here.
cat >"$STAGE/lib/pkgconfig/libturbojpeg.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libturbojpeg
Description: libjpeg-turbo's TurboJPEG API, static, for $HOST
Version: $JPEG_UPSTREAM
Libs: -L\${libdir} -lturbojpeg
Cflags: -I\${includedir}
EOF
cat >"$STAGE/lib/pkgconfig/spng.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: spng
Description: libspng with zlib, static, for $HOST
Version: ${SPNG_VERSION%-*}
Libs: -L\${libdir} -lspng -lz
Cflags: -I\${includedir} -DSPNG_STATIC
EOF
cat >"$STAGE/lib/pkgconfig/libheif.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libheif
Description: libheif with libde265 for HEVC decoding, static, for $HOST
Version: ${HEIF_VERSION%-*}
Libs: -L\${libdir} -lheif -lde265
Cflags: -I\${includedir} -DLIBHEIF_STATIC_BUILD -DLIBDE265_STATIC_BUILD
EOF
rm -f "$STAGE/lib/pkgconfig/libjpeg.pc" "$STAGE/lib/pkgconfig/libde265.pc"

mkdir -p "$CACHE"
# Another run may have finished first; its result stands.
mv -T "$STAGE" "$PREFIX" 2>/dev/null || [ -f "$PREFIX/lib/pkgconfig/libheif.pc" ]
echo "windows-deps: built into $PREFIX in $(($(date +%s) - START)) s"
