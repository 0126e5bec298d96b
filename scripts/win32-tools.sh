#!/usr/bin/env bash
# Installs what cross-building for 32-bit Windows needs (mingw-w64, CMake,
# dpkg-dev for unpacking source packages) and, with --wine, what running the
# result needs: Wine with its 32-bit side and Mesa's 32-bit OpenGL, plus a
# virtual X server and a window driver for the end-to-end run.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix mingw-w64-tools cmake make dpkg-dev xz-utils bzip2)
if [[ "${1:-}" == "--wine" ]]; then
  packages+=(wine wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 xvfb xauth xdotool x11-utils python3)
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "need root or sudo to install packages" >&2; exit 1; }
  sudo="sudo"
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

export DEBIAN_FRONTEND=noninteractive
apt_opts=(-o DPkg::Lock::Timeout=900)
# Wine's 32-bit half comes from the i386 architecture.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
$sudo apt-get "${apt_opts[@]}" update -qq
$sudo apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "${missing[@]}"
