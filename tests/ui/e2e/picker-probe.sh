#!/usr/bin/env bash
# End-to-end test of the colour picker and the lock-ratio dialog: runs the
# probe under a virtual X server and with xdotool presses the wheel's centre,
# just beyond its rim, beside the two ends of the lightness bar and the grey
# swatch, types a colour code into the dialog behind the picker's button,
# and adds a ratio preset through the preset menu and the name dialog.
# Skipped (exit 77) when xvfb-run or xdotool is missing; bounded by
# timeouts throughout. With PICKER_PROBE_SHOTS set to a folder, window
# captures of the dialogs are kept there (needs ImageMagick's import).
set -u
probe=$1
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$here/picker-probe-session.sh" "$probe"
