#!/usr/bin/env bash
# Installs the Debian packages a task needs, asking apt only when one is missing.
# Usage: scripts/install-deps.sh build|test|fuzz|windows|windows-deps|monitors|demo|tools ...
set -euo pipefail

declare -A sets=(
  [build]="g++ make cmake pkg-config libsdl2-dev libgl-dev libturbojpeg0-dev libspng-dev libheif-dev xvfb xauth"
  [test]="g++ make cmake pkg-config libsdl2-dev libosmesa6-dev libturbojpeg0-dev libjpeg62-turbo-dev libspng-dev libheif-dev libgtest-dev googletest xvfb xauth xdotool x11-xserver-utils python3-pytest"
  [fuzz]="clang libclang-rt-14-dev"
  [windows]="g++-mingw-w64-x86-64 wine wine64 nasm libz-mingw-w64-dev dpkg-dev"
  # What scripts/windows-deps.sh needs to build the image libraries for mingw-w64.
  [windows-deps]="g++-mingw-w64-x86-64 cmake make pkg-config nasm libz-mingw-w64-dev dpkg-dev"
  [monitors]="xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-xkb-utils"
  [demo]="xvfb xauth xdotool imagemagick"
  [tools]="libfreetype-dev fonts-dejavu-core libturbojpeg0-dev"
)

wanted=()
for set in "$@"; do
  [[ -n "${sets[$set]:-}" ]] || { echo "install-deps: unknown set '$set'" >&2; exit 2; }
  wanted+=(${sets[$set]})
done

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
