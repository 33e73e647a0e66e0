#!/usr/bin/env bash
# End-to-end test of the white-balance dialog: runs Tessera's main window
# with a test driver that opens a camera photo into an edit page, under a
# virtual X server, and with xdotool opens the dialog, clicks the photo in
# its before view, cancels, accepts, undoes, and accepts once more with a
# soft selection. Skipped (exit 77) when xvfb-run, xdotool or ImageMagick's
# import are missing, or the photo is; bounded by timeouts throughout. A
# third argument names another session of the same driver (NAME runs
# NAME-probe-session.sh).
#
#   adjust-dialog-probe.sh <adjust_dialog_probe executable> <photo> [NAME]
set -u
for tool in xvfb-run xdotool import; do
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
exec timeout -k 5 580 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/${3:-adjust-dialog}-probe-session.sh" "$1" "$2"
