#!/usr/bin/env bash
# Formats every C and C++ file of the tree with the root .clang-format.
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   change nothing; list unformatted files, exit 1 if any
# The generated icon pixmaps are left as their generator writes them.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || scripts/install-deps.sh
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc' | grep -v '^ui/tool_icons_xpm\.h$')
if [[ "${1:-}" == "--check" ]]; then
  bad=()
  for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
  done
  if ((${#bad[@]})); then
    printf 'not formatted: %s\n' "${bad[@]}" >&2
    echo "Fix: 'make format', then commit the result." >&2
    exit 1
  fi
  echo "format: ${#files[@]} files formatted"
else
  clang-format -i "${files[@]}"
fi
