#!/usr/bin/env bash
# Installs what the three builds and their tests need on a Debian 12 machine.
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
  cmake make g++ python3
  clang libclang-rt-14-dev           # libFuzzer and the sanitizers
  googletest libgtest-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  wine64 xvfb xauth
  wine wine32:i386 qemu-user-static   # the shipped 32-bit programs under 32-bit Wine (emulated where needed)
  imagemagick                         # tray icons and screenshots
  nsis                                # the release's installer
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
