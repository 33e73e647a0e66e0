#!/usr/bin/env bash
# End-to-end test of the photo property dialog in the real program: tessera
# under a virtual X server over an album folder with one Adobe RGB JPEG.
# The photo's right-click menu opens Properties; Edit, a new artist typed
# into its row, OK; exiftool then reads the new artist from the file, and
# the colour space is still Adobe RGB. Skipped (exit 77) when xvfb-run,
# xdotool, ImageMagick or exiftool is missing.
#
#   photo-property-window.sh <tessera executable> <source data folder> <text-table.sh> <test-image cache>
set -u
for tool in xvfb-run xdotool import exiftool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
[[ -f "${4:-}/usr/lib/python3/dist-packages/skimage/data/rocket.jpg" ]] || { echo "no test-image cache: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 200 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/photo-property-window-session.sh" "$@"
