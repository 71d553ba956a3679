#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Usage: scripts/deps.sh [build|test]
set -euo pipefail
kind=${1:-build}
packages=(g++ cmake make pkg-config libpixman-1-dev libfreetype-dev libfontconfig-dev
          libgtest-dev libbenchmark-dev fonts-dejavu-core fonts-dejavu-extra
          libturbojpeg0-dev libjpeg62-turbo-dev libasound2-dev libv4l-dev ffmpeg
          libx11-dev libxext-dev libxrandr-dev xvfb openbox xdotool x11-utils imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
line="apt-get install -y ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=""
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then sudo="sudo"
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root with:  apt-get update && $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
