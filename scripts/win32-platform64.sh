#!/usr/bin/env bash
# The Win32 platform layer's file tests (tests/win32/test_win32_files.cpp),
# built 64-bit and run under 64-bit Wine: for a machine whose kernel runs no
# 32-bit programs, where the 32-bit tests cannot start. The layer's code is the
# same for both widths; only the DLL's own tests need 32-bit Wine.
#   scripts/win32-platform64.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
out="$1/platform64"
cxx=x86_64-w64-mingw32-g++-posix
gtest=/usr/src/googletest
flags=(-std=c++17 -O1 -Wall -Wextra -DWIN32 -DGTEST_HAS_PTHREAD=0 -I. -I"$gtest/googletest/include"
       -I"$gtest/googletest" -I"$gtest/googlemock/include" -I"$gtest/googlemock")
mkdir -p "$out"
# The test framework once; the files under test every time.
for src in googletest/src/gtest-all.cc googlemock/src/gmock-all.cc googlemock/src/gmock_main.cc; do
  obj="$out/$(basename "$src" .cc).o"
  [[ -f "$obj" ]] || $cxx "${flags[@]}" -c "$gtest/$src" -o "$obj"
done
$cxx "${flags[@]}" platform/platform.cpp platform/platform_win32.cpp tests/win32/test_win32_files.cpp \
  "$out"/gtest-all.o "$out"/gmock-all.o "$out"/gmock_main.o -static -lcomdlg32 \
  -o "$out/test_win32_files64.exe"
export WINEPREFIX="$PWD/$1/wine64" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver64 -w || true
fi
exec /usr/lib/wine/wine64 "$out/test_win32_files64.exe"
