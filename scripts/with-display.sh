#!/usr/bin/env bash
# Runs a command on the user's display, or on a private virtual X server when
# there is none (CI, ssh sessions).
set -euo pipefail
if [[ -n "${DISPLAY:-}" ]]; then
  exec "$@"
fi
# -noreset: the server would otherwise reset whenever its last client leaves,
# and a test connecting at that moment fails to open the display.
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" "$@"
