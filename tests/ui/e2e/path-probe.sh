#!/usr/bin/env bash
# End-to-end test of the path bar and the property list: runs the probe
# under a virtual X server at the given display resolution (96 or 144 dots
# per inch through Xft.dpi) and with xdotool rests the pointer on the path
# bar's current segment until its sibling list opens, chooses a sibling,
# and types new values into two property rows. Skipped (exit 77) when
# xvfb-run or xdotool is missing; bounded by timeouts throughout.
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
  bash "$here/path-probe-session.sh" "$probe" "$dpi"
