#!/usr/bin/env bash
# Starts the program from the project root, where it finds data/.
# Without a display it says how to run it under a virtual one instead.
set -euo pipefail
program=$1; shift
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY is not set)." >&2
  echo "Run the program under a virtual X server instead:" >&2
  echo "  xvfb-run -s '-screen 0 1280x800x24' $program $*" >&2
  exit 1
fi
exec "$program" "$@"
