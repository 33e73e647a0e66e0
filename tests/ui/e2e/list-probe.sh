#!/usr/bin/env bash
# End-to-end test of the tree, the list grid and the slider: runs the probe
# under a virtual X server at the given display resolution (96 or 144 dots
# per inch through Xft.dpi) and with xdotool clicks tree rows and grid
# cells, turns the wheel, drags the tree's rows, draws a rubber band over
# the grid, drags the slider's thumb and types a fraction into its value
# input. Skipped (exit 77) when xvfb-run or
# xdotool is missing; bounded by timeouts throughout.
set -u
probe=$1
dpi=$2
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi $dpi -noreset" \
  bash "$here/list-probe-session.sh" "$probe" "$dpi"
