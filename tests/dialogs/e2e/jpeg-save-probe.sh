#!/usr/bin/env bash
# End-to-end test of saving a JPEG through its options: runs Tessera's main
# window with the driver of adjust_dialog_probe on a camera photo under a
# virtual X server and with xdotool saves it through the JPEG tile, adjusted
# to 300 KB, to a typed path. Skipped (exit 77) when xvfb-run or xdotool
# are missing, or the photo is; bounded by timeouts throughout.
#
#   jpeg-save-probe.sh <adjust_dialog_probe executable> <photo>
set -u
for tool in xvfb-run xdotool; do
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
  bash "$here/jpeg-save-probe-session.sh" "$@"
