#!/usr/bin/env bash
# Installs what building and testing Quillon needs, when it is missing (Debian).
set -euo pipefail
packages=(cmake make g++ libgtest-dev inetutils-telnetd libssl-dev openssl stunnel4 s3270 pkg-config g++-mingw-w64-i686 binutils-mingw-w64-i686 file libncurses-dev tmux xfonts-terminus pcf2bdf libbenchmark-dev libvterm-dev
  # The Windows build under Wine: GoogleTest's sources for the cross-compiled tests, the
  # 32-bit Wine, and an X server, window list and screenshots for the smoke tests.
  googletest wine wine32:i386 xvfb xdotool imagemagick
  # The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
  clang libclang-rt-14-dev
  # Full-screen programs run through telnetd, and the telnet client that checks that harness.
  less vim nano dialog whiptail inetutils-telnet)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # wine32 is an i386 package.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
