#!/usr/bin/env bash
# End-to-end test of the album in the real program: tessera under a virtual
# X server opens on an album folder of about 300 photos (the test images
# copied under varied names, two sub-folders, a dot file, a text file and a
# damaged JPEG) and shows them as thumbnails; scrolling loads the rest; a
# double click enters a sub-folder, ".." and back return; ten files copied
# in appear; the sort order and the thumbnail size chosen survive a restart.
# Then the album probe (the same window and album) shows the folder: the
# window's capture of the photo grid equals the grid's part of the back
# buffer.
# Skipped (exit 77) when xvfb-run, xdotool or ImageMagick is missing. With
# TESSERA_ALBUM_SHOT set to a file name a screenshot of the grid is kept.
#
#   album-window.sh <tessera executable> <source data folder> <text-table.sh> <test-image cache> <album probe>
set -u
for tool in xvfb-run xdotool import convert identify; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
[[ -d "${4:-}" ]] || { echo "no test-image cache: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 280 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/album-window-session.sh" "$@"
