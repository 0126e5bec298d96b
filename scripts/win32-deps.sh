#!/usr/bin/env bash
# Cross-builds the Windows (32-bit, mingw-w64) libraries the DLL links
# statically: zlib, libpng, libjpeg-turbo, libtiff, FreeImage and FLTK, all
# from Debian's source packages. The result goes to a cache folder outside the
# clone, keyed by the versions, so later builds and CI runs reuse it.
#
#   scripts/win32-deps.sh            build what is missing, print the prefix
#   scripts/win32-deps.sh --prefix   only print the prefix
#
# RELIEVO_WIN32_CACHE overrides the cache folder.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
ZLIB_V=1.2.13 PNG_V=1.6.39 JPEG_V=2.1.5 TIFF_V=4.5.0 FI_V=3.18.0 FLTK_V=1.3.8
# Bump when the recipe below changes in a way that changes the output.
RECIPE=2
cache="${RELIEVO_WIN32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/advanced-relievo-win32}"
prefix="$cache/z$ZLIB_V-png$PNG_V-jpeg$JPEG_V-tiff$TIFF_V-fi$FI_V-fltk$FLTK_V-r$RECIPE"
if [[ "${1:-}" == "--prefix" ]]; then echo "$prefix"; exit 0; fi

HOST=i686-w64-mingw32
JOBS="${JOBS:-2}"
log() { echo "win32-deps: $*" >&2; }

all_done() {
  for lib in zlib png jpeg tiff freeimage fltk; do [[ -f "$prefix/.done-$lib" ]] || return 1; done
}
if all_done; then echo "$prefix"; exit 0; fi

"$here/win32-tools.sh"

# apt-get source needs deb-src entries; make them from the machine's own binary
# entries so the sources come from wherever this machine gets its packages.
ensure_deb_src() {
  if grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  log "adding deb-src entries mirroring the machine's apt sources"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" ]] || continue
    grep -q '^Types:.*\bdeb\b' "$f" || continue
    sed -E 's/^Types:.*/Types: deb-src/' "$f" > "/etc/apt/sources.list.d/relievo-src-$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f "$f" ]] || continue
    grep -E '^deb ' "$f" | sed 's/^deb /deb-src /' >> /etc/apt/sources.list.d/relievo-src.list || true
  done
  apt-get -o DPkg::Lock::Timeout=900 update -qq
}

src_root="$cache/src"
mkdir -p "$src_root" "$prefix"

# Fetches and unpacks a Debian source package whose upstream version is $2
# into $src_root/$1 and prints the tree. Tries every version apt knows,
# newest first: a mirror does not always hold every revision's files.
fetch_source() {
  local pkg="$1" upstream="$2" dir="$src_root/$1" v tree
  tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "*$upstream*" 2>/dev/null | head -n1)
  if [[ -n "$tree" ]]; then echo "$tree"; return; fi
  ensure_deb_src
  mkdir -p "$dir"
  for v in $(apt-cache showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -ruV); do
    [[ "$v" == *"$upstream"* ]] || continue
    log "fetching source $pkg=$v"
    if (cd "$dir" && apt-get source -qq "$pkg=$v" >&2 2>/dev/null); then
      tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "*$upstream*" | head -n1)
      [[ -n "$tree" ]] && { echo "$tree"; return; }
    fi
  done
  log "could not fetch the source package $pkg $upstream from the configured apt sources"
  return 1
}

toolchain="$here/../cmake/mingw-w64-i686.cmake"
cmake_cross() {  # source dir, build dir, extra args...
  local s="$1" b="$2"; shift 2
  cmake -S "$s" -B "$b" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DRELIEVO_WIN32_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "-DCMAKE_C_FLAGS=-msse2 -mfpmath=sse" "-DCMAKE_CXX_FLAGS=-msse2 -mfpmath=sse" \
    "$@" >&2
  cmake --build "$b" -j "$JOBS" >&2
  cmake --install "$b" >&2
}
build_dir() { rm -rf "$cache/build/$1"; mkdir -p "$cache/build/$1"; echo "$cache/build/$1"; }

if [[ ! -f "$prefix/.done-zlib" ]]; then
  s=$(fetch_source zlib "$ZLIB_V"); b=$(build_dir zlib)
  # Debian's tree has no Windows makefile; zlib is a handful of C files.
  for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
           inftrees trees uncompr zutil; do
    $HOST-gcc-posix -O2 -msse2 -mfpmath=sse -c "$s/$c.c" -o "$b/$c.o"
  done
  $HOST-ar rcs "$b/libz.a" "$b"/*.o
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$s/zlib.h" "$s/zconf.h" "$prefix/include/"; cp "$b/libz.a" "$prefix/lib/"
  touch "$prefix/.done-zlib"
fi

if [[ ! -f "$prefix/.done-png" ]]; then
  s=$(fetch_source libpng1.6 "$PNG_V"); b=$(build_dir png)
  cmake_cross "$s" "$b" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_ROOT="$prefix" -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
  [[ -f "$prefix/lib/libpng.a" ]] || cp "$prefix/lib/libpng16.a" "$prefix/lib/libpng.a"
  touch "$prefix/.done-png"
fi

if [[ ! -f "$prefix/.done-jpeg" ]]; then
  s=$(fetch_source libjpeg-turbo "$JPEG_V"); b=$(build_dir jpeg)
  # Without the SIMD code no assembler is needed; the C decoder gives the
  # same samples.
  cmake_cross "$s" "$b" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DCMAKE_INSTALL_INCLUDEDIR="$prefix/include"
  touch "$prefix/.done-jpeg"
fi

if [[ ! -f "$prefix/.done-tiff" ]]; then
  s=$(fetch_source tiff "$TIFF_V"); b=$(build_dir tiff)
  cmake_cross "$s" "$b" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dcxx=OFF -Dzstd=OFF -Dlzma=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF \
    -Djpeg12=OFF -DCMAKE_INSTALL_LIBDIR=lib \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"
  touch "$prefix/.done-tiff"
fi

if [[ ! -f "$prefix/.done-freeimage" ]]; then
  s=$(fetch_source freeimage "$FI_V"); b=$(build_dir freeimage)
  cp "$here/win32/freeimage/CMakeLists.txt" "$here/win32/freeimage/missing_plugins.cpp" "$b/"
  mkdir -p "$b/include/Imath"; cp "$here/win32/freeimage/half.h" "$b/include/Imath/half.h"
  cmake_cross "$b" "$b/build" -DFREEIMAGE_SOURCE="$s"
  touch "$prefix/.done-freeimage"
fi

if [[ ! -f "$prefix/.done-fltk" ]]; then
  s=$(fetch_source fltk1.3 "$FLTK_V"); b=$(build_dir fltk)
  # The codecs above serve FLTK too: its bundled copies would clash with
  # them in one static link.
  cmake_cross "$s" "$b" -DOPTION_BUILD_SHARED_LIBS=OFF -DOPTION_USE_GL=ON -DOPTION_BUILD_EXAMPLES=OFF \
    -DFLTK_BUILD_TEST=OFF -DOPTION_USE_SYSTEM_ZLIB=ON -DOPTION_USE_SYSTEM_LIBPNG=ON \
    -DOPTION_USE_SYSTEM_LIBJPEG=ON -DOPTION_PRINT_SUPPORT=ON \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DPNG_LIBRARY="$prefix/lib/libpng.a" -DPNG_PNG_INCLUDE_DIR="$prefix/include" \
    -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"
  touch "$prefix/.done-fltk"
fi

echo "$prefix"
