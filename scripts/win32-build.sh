#!/usr/bin/env bash
# Builds AdvancedRelievo.dll and quarn-host.exe for 32-bit Windows in the
# given folder; with --test also runs the Windows tests under Wine, comparing
# with the Linux build in LINUX_BUILD (default build). Fails when either
# program is not built.
#   scripts/win32-build.sh BUILD_DIR JOBS [--test [LINUX_BUILD]]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-win32}" jobs="${2:-2}" test="${3:-}" linux="${4:-$PWD/build}"

scripts/win32-tools.sh ${test:+--wine}
prefix="$(scripts/win32-deps.sh)"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-i686.cmake" \
  -DRELIEVO_WIN32_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DRELIEVO_LINUX_BUILD="$linux"
cmake --build "$build" -j "$jobs"

dll="$build/AdvancedRelievo.dll"
for f in "$dll" "$build/quarn-host.exe"; do
  [[ -f "$f" ]] || { echo "NOT BUILT: $f" >&2; exit 1; }
done
echo "built $dll ($(stat -c %s "$dll") bytes) and $build/quarn-host.exe"

if [[ -n "$test" ]]; then
  export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all
  scripts/with-display.sh ctest --test-dir "$build" --output-on-failure -j 1
  if ! scripts/wine-run.sh --check 2>/dev/null; then
    echo "NOTE: this machine runs no 32-bit x86 programs, so the 32-bit tests did not run under" \
         "Wine (skipped above); the platform layer's file tests run built 64-bit instead:" >&2
    scripts/win32-platform64.sh "$build"
  fi
fi
