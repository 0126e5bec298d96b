#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: the one named by
# WINEPREFIX, or build-win32/wine beside this script's project. The prefix is
# made on first use; Wine's debug chatter is off.
# Exits 77 with "wine-run: NOT RUN" (what the tests count as skipped) when
# this machine cannot run 32-bit x86 programs at all, so Wine's 32-bit side
# cannot start: some virtual machines' kernels run 64-bit programs only.
#   wine-run.sh PROGRAM ARGS...   run it
#   wine-run.sh --check           only say whether Wine can run here
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! out=$(/usr/lib/wine/wine --version 2>&1) && [[ "$out" == *"Exec format error"* ]]; then
  echo "wine-run: NOT RUN: this machine's kernel does not run 32-bit x86 programs" \
       "(Wine's 32-bit loader: $out)" >&2
  exit 77
fi
[[ "${1:-}" == "--check" ]] && exit 0
export WINEPREFIX="${WINEPREFIX:-$root/build-win32/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win32
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  # A crashing program must end, not wait in Wine's debugger.
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec wine "$@"
