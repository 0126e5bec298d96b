#!/usr/bin/env bash
# Runs a command on the user's display, or on a private virtual X server when
# there is none (CI, ssh sessions).
set -euo pipefail
if [[ -n "${DISPLAY:-}" ]]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
