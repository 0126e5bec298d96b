#!/usr/bin/env bash
# Packs the built DLL for Quarn users: AdvancedRelievo-VERSION-win32.zip with
# the DLL, a short install text and the licence notices of every library
# linked into it.
#   scripts/win32-dist.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-win32}"
dll="$build/AdvancedRelievo.dll"
[[ -f "$dll" ]] || { echo "no $dll: run 'make win32' first" >&2; exit 1; }
command -v zip >/dev/null || { echo "zip is missing: run scripts/win32-tools.sh" >&2; exit 1; }
prefix="$(scripts/win32-deps.sh --prefix)"
src="$(dirname "$prefix")/src"

# The version the module reports to Quarn, spaces made dashes: 1.0-Beta.
version=$(sed -nE 's/.*PluginVersion\(\) \{ return "([^"]*)".*/\1/p' plugin/exports.cpp | tr ' ' -)
[[ -n "$version" ]] || { echo "cannot read the module's version from plugin/exports.cpp" >&2; exit 1; }
name="AdvancedRelievo-$version-win32"
stage="$build/dist/$name"
rm -rf "$build/dist"
mkdir -p "$stage/licenses"
cp "$dll" "$stage/"

one_tree() { find "$src/$1" -mindepth 1 -maxdepth 1 -type d | head -n1; }
notice() {  # the name in the zip, then the file it is copied from
  [[ -f "$2" ]] || { echo "licence notice missing: $2" >&2; exit 1; }
  cp "$2" "$stage/licenses/$1"
}
notice zlib.txt "$(one_tree zlib)/LICENSE"
notice libpng.txt "$(one_tree libpng1.6)/LICENSE"
notice libjpeg-turbo.md "$(one_tree libjpeg-turbo)/LICENSE.md"
notice libjpeg-ijg.txt "$(one_tree libjpeg-turbo)/README.ijg"
notice libtiff.md "$(one_tree tiff)/LICENSE.md"
notice freeimage.txt "$(one_tree freeimage)/license-fi.txt"
notice fltk.txt "$(one_tree fltk1.3)/COPYING"
notice cimg.txt /usr/share/doc/cimg-dev/copyright
# The C and C++ runtime linked in: GCC's libraries (runtime library
# exception) and mingw-w64's C runtime and winpthreads.
notice gcc-runtime.txt /usr/share/doc/gcc-mingw-w64-base/copyright
notice mingw-w64-runtime.txt /usr/share/doc/mingw-w64-common/copyright

cat > "$stage/INSTALL.txt" <<TEXT
Advanced Relievo $version for Quarn (32-bit Windows)
=================================================

Installing
  Copy AdvancedRelievo.dll into Quarn's plug-in folder and start Quarn;
  the plug-in is listed as "Advanced Relievo". Nothing else is needed:
  the C and C++ runtime and every library are inside the DLL, which uses
  only Windows' own DLLs (among them OpenGL and GLU, for the 3D preview).

Needs
  32- or 64-bit Windows with an OpenGL driver (any will do: the preview
  uses OpenGL 1.1 only), and Quarn 0.862.

Image files
  "Load Image" reads BMP, JPEG, PNG, TIFF, Targa, Photoshop, PBM/PGM/PPM,
  PCX, ICO, IFF/LBM, XPM, XBM, WBMP, RAS, PICT, PCD, Koala, GIF, DDS, SGI,
  HDR, PFM and fax G3 files (not OpenEXR, camera RAW, JPEG-XR, WebP or
  JPEG-2000).
  "Save Image" writes BMP, JPEG, Targa, TIFF, PNG, XPM, Photoshop,
  PBM/PGM/PPM, GIF and ICO.
  "Export to QMF" writes Quarn map text (.qmf).

Licences
  The folder licenses/ holds the notices of the libraries linked into the
  DLL: zlib, libpng, libjpeg-turbo (with the IJG notice), libtiff,
  FreeImage (used under the FreeImage Public Licence), FLTK, CImg, GCC's
  runtime libraries and mingw-w64's runtime.
TEXT
sed -i 's/$/\r/' "$stage/INSTALL.txt"

rm -f "$build/$name.zip.new"
(cd "$build/dist" && zip -q -r -X "../$name.zip.new" "$name")
mv "$build/$name.zip.new" "$build/$name.zip"
echo "$build/$name.zip: $(stat -c %s "$build/$name.zip") bytes"
unzip -l "$build/$name.zip"
