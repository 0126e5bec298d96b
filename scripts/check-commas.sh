#!/usr/bin/env bash
# Fails, naming each place, when a test uses the comma operator: a chain like
# `a = 1, b = 2` or `act(), check()` hides what a test does. clang's -Wcomma
# finds them; the tests are only parsed, not built.
#   scripts/check-commas.sh [FILE...]   (default: every C++ test built on Linux)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || scripts/install-deps.sh
if (($#)); then
  files=("$@")
else
  mapfile -t files < <(git ls-files 'tests/*.cpp' | grep -v '^tests/win32/')
fi
# The build puts CImg's header (with X11's) first, as a precompiled header.
flags=(-std=c++17 -fsyntax-only -ferror-limit=0 -Wcomma -Werror=comma -I.
       -include platform/cimg_config.h -DRELIEVO_MODULE_PATH='""' -DRELIEVO_HOST_PATH='""'
       -DRELIEVO_SOURCE_DIR='""')
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Two at a time: each parse of CImg takes a few seconds.
if ! printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P 2 clang++ "${flags[@]}" >"$log" 2>&1; then
  grep -E 'error:' "$log" | sort -u >&2 || cat "$log" >&2
  echo "Fix: write each action as its own statement (no comma operators in tests)." >&2
  exit 1
fi
echo "commas: ${#files[@]} test files without comma operators"
