#!/usr/bin/env bash
# End-to-end test of the colour range dialog, the brush dialog and the about
# box: runs the probe under a virtual X server and with xdotool drags the
# range selector's handles, chooses the Skin preset from the preset menu,
# switches the preview to the mask style and confirms; then drags the brush
# size and closes the about box. Skipped (exit 77) when xvfb-run or xdotool
# is missing; bounded by timeouts throughout. With COLOR_RANGE_PROBE_SHOTS
# set to a folder, window captures are kept there (needs ImageMagick's
# import).
set -u
probe=$1
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$here/color-range-probe-session.sh" "$probe"
