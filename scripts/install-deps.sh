#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Idempotent: does nothing when everything is present. Runs apt as root or via sudo.
set -euo pipefail

# clang: the comma check parses the tests with it (-Wcomma).
packages=(
  build-essential cmake pkg-config clang-format clang
  libfltk1.3-dev cimg-dev libfreeimage-dev
  libgl-dev libglu1-mesa-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick python3 python3-xlib openbox
)
# The fuzz targets need clang's libFuzzer runtime; only `make fuzz` asks for it.
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(libclang-rt-14-dev)
fi

source "$(dirname "$0")/install-missing.sh"
install_missing "${packages[@]}"
