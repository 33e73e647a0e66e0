#!/usr/bin/env bash
# End-to-end test of the picture view: runs the probe on a real photo from
# the test-image cache under a virtual X server at the given display
# resolution (96 or 144 dots per inch through Xft.dpi) and with xdotool
# zooms with the wheel at the pointer, pans by dragging and picks 100 % from
# the zoom menu. Skipped (exit 77) when xvfb-run or xdotool is missing or the
# photo is not in the cache; bounded by timeouts throughout.
set -u
probe=$1
dpi=$2
photo=${3:-}/usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/large_image.jpg
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
if [[ ! -f "$photo" ]]; then
  echo "$photo is not in the test-image cache (scripts/fetch-testdata.sh): skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi $dpi -noreset" \
  bash "$here/pic-view-probe-session.sh" "$probe" "$dpi" "$photo"
