#!/usr/bin/env bash
# End-to-end test of a free-paint stroke and a lasso selection: the edit
# page probe's program under a virtual X server, driven with xdotool. The
# stroke must change the layer and add one history step; the lasso must
# select pixels without a step; the window shows both. Skipped (exit 77)
# when xvfb-run, xdotool or ImageMagick's import and compare are missing, or
# the photo is.
#
#   paint-select-probe.sh <edit_page_probe executable> <photo>
set -u
for tool in xvfb-run xdotool import compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
if [[ ! -r "$2" ]]; then
  echo "the photo $2 is missing (scripts/fetch-testdata.sh): skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 280 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/paint-select-probe-session.sh" "$@"
