#!/usr/bin/env bash
# End-to-end test of the warp brush: Tessera's main window with the edit
# page's test driver under a virtual X server, a camera photo open; the warp
# brush's button, a drag over the photo, the option panel's undo/redo
# toggle twice and its reset, a second drag kept by leaving the tool (one
# history step), then Ctrl+Z and Ctrl+Y; a picture pasted as a layer (xclip)
# made smaller by the free transform's corner and applied by a double
# click, then Ctrl+Z; after every step the window's
# capture of the picture equals the display picture of the document.
# Skipped (exit 77) when xvfb-run, xdotool, xclip, ImageMagick or the photo
# is missing.
#
#   warp-probe.sh <edit_page_probe executable> <photo>
set -u
for tool in xvfb-run xdotool xclip import compare convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
if [[ ! -r "${2:-}" ]]; then
  echo "the photo ${2:-} is missing (scripts/fetch-testdata.sh): skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 240 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/warp-probe-session.sh" "$@"
