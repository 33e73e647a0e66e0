#!/usr/bin/env bash
# End-to-end test of the search page in the real program: tessera under a
# virtual X server. Without search folders, the first visit to the search
# tab asks for them ("Firsttimesearching", then the search-folder dialog).
# With about 300 photos in the search folders, the page's busy indicator
# turns while the scan runs; then a month of the date branch fills the grid
# with thumbnails. Skipped (exit 77) when xvfb-run, xdotool or ImageMagick
# is missing.
#
#   search-window.sh <tessera executable> <source data folder> <text-table.sh> <test-image cache>
set -u
for tool in xvfb-run xdotool import convert identify compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
[[ -d "${4:-}" ]] || { echo "no test-image cache: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 280 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/search-window-session.sh" "$@"
