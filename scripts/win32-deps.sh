#!/usr/bin/env bash
# Cross-builds the Windows (32-bit, mingw-w64) libraries the DLL links
# statically: zlib, libpng, libjpeg-turbo, libtiff, FreeImage and FLTK, all
# from Debian's source packages. The result goes to a cache folder outside the
# clone, keyed by the versions, so later builds and CI runs reuse it.
#
#   scripts/win32-deps.sh            build what is missing, print the prefix
#   scripts/win32-deps.sh --prefix   only print the prefix
#   scripts/win32-deps.sh --bench    also Google Benchmark, for the benchmarks
#
# RELIEVO_WIN32_CACHE overrides the cache folder. A package apt cannot fetch
# is taken from a folder of upstream source tarballs, NAME-VERSION-source.tar.gz
# (RELIEVO_SOURCES_DIR; by default ../shared/vendor beside the clone), checked
# against the sha256 this script carries.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
sources_dir="${RELIEVO_SOURCES_DIR:-$(cd "$here/../.." && pwd)/shared/vendor}"
# sha256 of the upstream tarballs accepted when apt has no source package.
declare -A TARBALL_SHA256=(
  [fltk-1.3.8]=135b5e713676126fc569aebd4e073c02146e00ef1eafc01aac2ab599641c877b
)
ZLIB_V=1.2.13 PNG_V=1.6.39 JPEG_V=2.1.5 TIFF_V=4.5.0 FI_V=3.18.0 FLTK_V=1.3.8 BENCH_V=1.7.1
# Bump when the recipe below changes in a way that changes the output.
RECIPE=3
cache="${RELIEVO_WIN32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/advanced-relievo-win32}"
prefix="$cache/z$ZLIB_V-png$PNG_V-jpeg$JPEG_V-tiff$TIFF_V-fi$FI_V-fltk$FLTK_V-r$RECIPE"
if [[ "${1:-}" == "--prefix" ]]; then echo "$prefix"; exit 0; fi
libs=(zlib png jpeg tiff freeimage fltk)
if [[ "${1:-}" == "--bench" ]]; then libs+=(benchmark); fi

HOST=i686-w64-mingw32
JOBS="${JOBS:-2}"
log() { echo "win32-deps: $*" >&2; }

all_done() {
  for lib in "${libs[@]}"; do [[ -f "$prefix/.done-$lib" ]] || return 1; done
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
# newest first: a mirror does not always hold every revision's files. When
# apt has none, takes the upstream tarball named $3-$2 from $sources_dir.
fetch_source() {
  local pkg="$1" upstream="$2" name="${3:-$1}" dir="$src_root/$1" v tree
  tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "*$upstream*" 2>/dev/null | head -n1)
  if [[ -n "$tree" ]]; then log "source of $pkg: $tree (unpacked before)"; echo "$tree"; return; fi
  ensure_deb_src
  mkdir -p "$dir"
  for v in $(apt-cache showsrc "$pkg" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -ruV); do
    [[ "$v" == *"$upstream"* ]] || continue
    if (cd "$dir" && apt-get source -qq "$pkg=$v" >&2 2>/dev/null); then
      tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "*$upstream*" | head -n1)
      if [[ -n "$tree" ]]; then log "source of $pkg: Debian source package $pkg=$v"; echo "$tree"; return; fi
    fi
  done
  fetch_tarball "$pkg" "$name-$upstream" "$dir"
}

# Unpacks $sources_dir/$2-source.tar.gz into $3 after checking its sha256.
fetch_tarball() {
  local pkg="$1" stem="$2" dir="$3" tarball want got
  tarball="$sources_dir/$stem-source.tar.gz"
  want="${TARBALL_SHA256[$stem]:-}"
  if [[ -z "$want" ]]; then
    log "cannot get the source of $pkg: apt has none and this script knows no tarball of $stem"
    return 1
  fi
  if [[ ! -f "$tarball" ]]; then
    log "cannot get the source of $pkg: apt has none and $tarball is missing" \
        "(RELIEVO_SOURCES_DIR names the folder of source tarballs)"
    return 1
  fi
  got=$(sha256sum "$tarball" | awk '{print $1}')
  if [[ "$got" != "$want" ]]; then
    log "REFUSED $tarball: its sha256 is $got, not the $want this script expects"
    return 1
  fi
  tar -xzf "$tarball" -C "$dir"
  [[ -d "$dir/$stem" ]] || { log "$tarball holds no top folder $stem/"; return 1; }
  log "source of $pkg: $tarball (sha256 checked)"
  echo "$dir/$stem"
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
  s=$(fetch_source fltk1.3 "$FLTK_V" fltk); b=$(build_dir fltk)
  # The codecs above serve FLTK too: its bundled copies would clash with
  # them in one static link. FLTK's check for png.h does not look in the
  # prefix, and without it Fl_PNG_Image.cxx asks for libpng/png.h.
  cmake_cross "$s" "$b" -DOPTION_BUILD_SHARED_LIBS=OFF -DOPTION_USE_GL=ON -DOPTION_BUILD_EXAMPLES=OFF \
    -DFLTK_BUILD_TEST=OFF -DOPTION_USE_SYSTEM_ZLIB=ON -DOPTION_USE_SYSTEM_LIBPNG=ON \
    -DOPTION_USE_SYSTEM_LIBJPEG=ON -DOPTION_PRINT_SUPPORT=ON -DHAVE_PNG_H=1 \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DPNG_LIBRARY="$prefix/lib/libpng.a" -DPNG_PNG_INCLUDE_DIR="$prefix/include" \
    -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"
  touch "$prefix/.done-fltk"
fi

if [[ " ${libs[*]} " == *" benchmark "* && ! -f "$prefix/.done-benchmark" ]]; then
  s=$(fetch_source benchmark "$BENCH_V"); b=$(build_dir benchmark)
  cmake_cross "$s" "$b" -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LTO=OFF -DBENCHMARK_ENABLE_INSTALL=ON \
    -DCMAKE_INSTALL_LIBDIR=lib
  touch "$prefix/.done-benchmark"
fi

echo "$prefix"
