#!/usr/bin/env bash
# Installs what building and testing Quillon needs, when it is missing (Debian).
set -euo pipefail
packages=(cmake make g++ libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 file libncurses-dev tmux)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
