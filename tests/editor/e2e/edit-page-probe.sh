#!/usr/bin/env bash
# End-to-end test of the edit page: runs Tessera's main window with a test
# driver that opens a camera photo into an edit page, under a virtual X
# server, and with xdotool zooms it by the wheel, pans it by a drag and by a
# drag with Space held, undoes and redoes an edit with Ctrl+Z and Ctrl+Y, and
# goes to the album tab and back; after every step the window's capture of
# the picture must equal the canvas's display picture. Skipped (exit 77)
# when xvfb-run, xdotool or ImageMagick's import and compare are missing, or
# the photo is; bounded by
# timeouts throughout. With TESSERA_EDIT_SHOTS set to a folder, screenshots
# of the window are written there.
#
#   edit-page-probe.sh <edit_page_probe executable> <photo>
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
  bash "$here/edit-page-probe-session.sh" "$@"
