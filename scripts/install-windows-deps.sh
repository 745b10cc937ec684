#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, if missing:
# the mingw-w64 cross compiler, Wine, a virtual X server, ImageMagick for the
# screenshots, a Japanese font and the Japanese locale (so that Wine's ANSI
# code page is 932, as on a Japanese Windows), and the GStreamer plugins on
# which Wine's Media Foundation decodes and resamples for kelditra prepare.
set -euo pipefail

packages=(
  cmake g++ make
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  xvfb imagemagick
  fonts-ipafont-gothic
  locales
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "generating the ja_JP.UTF-8 locale"
  "${sudo_cmd[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
