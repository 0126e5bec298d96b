#!/usr/bin/env bash
# The Windows and the Linux build turn the same image files into the same map
# text, byte for byte (JPEG decoding, bicubic rescale, luminance, number
# formatting). Fails when the Linux build's tool is not there.
#   compare_with_linux.sh WINDOWS_TOOL LINUX_TOOL
set -euo pipefail
win_tool="$1" linux_tool="$2"
if [[ ! -x "$linux_tool" ]]; then
  echo "no Linux build at $linux_tool: build it first (make build)"
  exit 77
fi
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A colour photograph stand-in (640 x 480, stretched to 249) and a small
# grey one (100 x 80, to 125): fixed seeds, so the same pictures every time.
convert -seed 7 -size 640x480 plasma:fractal -quality 90 "$work/photo.jpg"
convert -seed 11 -size 100x80 plasma:fractal -colorspace gray "$work/grey.png"
status=0
for image in photo.jpg grey.png; do
  "$linux_tool" "$work/$image" "$work/$image.linux.txt"
  "$root/scripts/wine-run.sh" "$win_tool" "$work/$image" "$work/$image.windows.txt"
  if cmp -s "$work/$image.linux.txt" "$work/$image.windows.txt"; then
    echo "$image: identical ($(stat -c %s "$work/$image.linux.txt") bytes)"
  else
    echo "$image: DIFFERENT: $(cmp "$work/$image.linux.txt" "$work/$image.windows.txt" || true)"
    status=1
  fi
done
exit $status
