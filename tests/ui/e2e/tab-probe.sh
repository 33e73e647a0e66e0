#!/usr/bin/env bash
# End-to-end test of the tab frame and the busy indicator: runs the probe
# under a virtual X server at the given display resolution (96 or 144 dots
# per inch through Xft.dpi) and with xdotool switches its three pages by
# their titles and the keyboard, plainly and cross-faded, scrolls the titles
# with the arrows, and runs the busy indicator from 0 to 100 while the UI
# thread is busy. At 96 it compares captures of the window with the back
# buffer (a page, and the indicator's digits). Skipped (exit 77) when
# xvfb-run, xdotool or ImageMagick's import is missing; bounded by timeouts
# throughout. With TESSERA_TAB_SHOTS set to a folder, screenshots of the
# window are written there.
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
  bash "$here/tab-probe-session.sh" "$probe" "$dpi"
