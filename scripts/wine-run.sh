#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: the one named by
# WINEPREFIX, or build-win32/wine beside this script's project. The prefix is
# made on first use; Wine's debug chatter is off.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
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
