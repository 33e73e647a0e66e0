#!/usr/bin/env bash
# End-to-end test of a person cropping a photo: Tessera's main window with
# the edit page's test driver under a virtual X server; a camera photo is
# dropped on the tab strip (the tests' X drag-and-drop source), painted
# with a free-paint stroke, a rectangle selected, cropped twice with the
# crop tool (dragged, applied once with the OK button and once with a
# double click), then Ctrl+Z twice and Ctrl+Y twice; after every step the
# window's capture of the picture, but for the selection's ants, equals the
# display picture of the document. Skipped (exit 77) when xvfb-run, xdotool, ImageMagick or the
# photo is missing.
#
#   crop-flow-probe.sh <edit_page_probe executable> <xdnd_source executable> <photo>
set -u
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
if [[ ! -f "${3:-}" ]]; then
  echo "the photo ${3:-} is missing: skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 240 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/crop-flow-probe-session.sh" "$@"
