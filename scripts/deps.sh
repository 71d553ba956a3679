#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Usage: scripts/deps.sh [build|package|test]
# With package (and test) it adds what makes the Debian package (scripts/package.sh).
# With test it also readies the virtual machine of the camera tests (QEMU, cpio, kmod, and
# Debian's kernel with busybox fetched into its work folder). That part is optional: when it
# cannot be had the camera tests say 'skipped', so its failures are reported, not fatal.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-build}
packages=(g++ cmake make pkg-config libpixman-1-dev libfreetype-dev libfontconfig-dev
          libgtest-dev libbenchmark-dev fonts-dejavu-core fonts-dejavu-extra
          libturbojpeg0-dev libjpeg62-turbo-dev libasound2-dev libv4l-dev libx264-dev ffmpeg
          libx11-dev libxext-dev libxrandr-dev xvfb openbox xdotool x11-utils imagemagick)
# dpkg-shlibdeps works out the package's dependencies; the others check its files.
package_packages=(dpkg-dev)
package_check_packages=(desktop-file-utils appstream groff-base)
# The program in a Wayland session: weston's headless backend with XWayland (tests/e2e/weston.sh).
wayland_packages=(weston xwayland)
# e2fsprogs makes and reads back the virtual disk of the power-cut test (scripts/vm/power-cut.sh).
vm_packages=(qemu-system-x86 cpio kmod v4l-utils e2fsprogs)
# The fuzzers (scripts/fuzz.sh, run by the test script in CI) need clang and its libFuzzer.
fuzz_packages=(clang libclang-rt-14-dev)
# Other readers of our recordings than ffmpeg, which the tests also hand every file to.
reader_packages=(gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good
                 gstreamer1.0-plugins-bad gstreamer1.0-libav mediainfo)

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

if [ "$(id -u)" -eq 0 ]; then sudo=""
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then sudo="sudo"
else sudo="none"
fi
updated=0
install() {
  [ "$sudo" != none ] || return 1
  echo "Installing: $*"
  [ "$updated" = 1 ] || { $sudo apt-get update -qq; updated=1; }
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null
}

[ "$kind" = build ] || packages+=("${package_packages[@]}")
[ "$kind" = test ] && packages+=("${package_check_packages[@]}" "${wayland_packages[@]}")
mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -gt 0 ] && ! install "${missing[@]}"; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root with:  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
[ "$kind" = test ] || exit 0

mapfile -t missing < <(missing_of "${fuzz_packages[@]}")
if [ ${#missing[@]} -gt 0 ] && ! install "${missing[@]}"; then
  echo "Missing packages for the fuzzers: ${missing[*]}" >&2
  exit 1
fi

mapfile -t missing < <(missing_of "${reader_packages[@]}")
if [ ${#missing[@]} -gt 0 ] && ! install "${missing[@]}"; then
  echo "Missing packages for the recording checks: ${missing[*]}" >&2
  exit 1
fi

mapfile -t missing < <(missing_of "${vm_packages[@]}")
if [ ${#missing[@]} -gt 0 ] && ! install "${missing[@]}"; then
  echo "Note: without ${missing[*]} the camera tests in a virtual machine will be skipped" \
       "(as root: apt-get install -y ${missing[*]})" >&2
fi
# The kernel package comes through the package lists, which a fresh system may not have yet.
if ! apt-cache depends linux-image-amd64 2>/dev/null | grep -q 'Depends: linux-image-[0-9]' \
   && [ "$sudo" != none ] && [ "$updated" = 0 ]; then
  $sudo apt-get update -qq || true
fi
scripts/vm/run-in-vm.sh --fetch || true
