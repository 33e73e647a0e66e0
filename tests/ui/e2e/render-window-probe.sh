#!/usr/bin/env bash
# End-to-end test of the render window: runs the probe under a virtual X
# server at the given display resolution (96 or 144 dots per inch through
# Xft.dpi), clicks its sprites with xdotool and, at 96, compares a capture of
# the window with the back buffer. Skipped (exit 77) when xvfb-run, xdotool
# or ImageMagick's import is missing; bounded by timeouts throughout.
set -u
probe=$1
dpi=$2
for tool in xvfb-run xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi $dpi -noreset" \
  bash "$here/render-window-probe-session.sh" "$probe" "$dpi"
