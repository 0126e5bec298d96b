#!/usr/bin/env bash
# Installs what cross-building for 32-bit Windows needs (mingw-w64, CMake,
# dpkg-dev for unpacking source packages, zip for the package) and, with
# --wine, what running the result needs: Wine with its 32-bit side and Mesa's
# 32-bit OpenGL, plus a virtual X server, xdotool, python3-xlib and
# ImageMagick for the end-to-end run; and 64-bit Wine and mingw-w64 for the
# platform layer's tests where the machine runs no 32-bit programs.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix mingw-w64-tools cmake make dpkg-dev xz-utils bzip2 zip python3)
if [[ "${1:-}" == "--wine" ]]; then
  packages+=(wine wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 xvfb xauth xdotool x11-utils
            python3-xlib imagemagick wine64 g++-mingw-w64-x86-64-posix googletest)
fi

source "$(dirname "$0")/install-missing.sh"
install_missing "${packages[@]}"
