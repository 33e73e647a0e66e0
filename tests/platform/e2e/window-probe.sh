#!/usr/bin/env bash
# End-to-end test of the real window: runs the probe under a virtual X
# server, clicks and types into it with xdotool, closes it the way a window
# manager does and checks what the UI thread received. Skipped (exit 77)
# when xvfb-run or xdotool is not installed; bounded by timeouts throughout.
set -u
probe=$1
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run or xdotool is not installed: skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 90 xvfb-run -a -s "-screen 0 800x600x24" bash "$here/window-probe-session.sh" "$probe"
