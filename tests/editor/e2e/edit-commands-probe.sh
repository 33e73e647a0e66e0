#!/usr/bin/env bash
# End-to-end test of the editing commands on the real clipboard: the edit
# page probe's program under a virtual X server; Ctrl+A and Ctrl+C put the
# layer on the X clipboard, where xclip must read the layer's dithered
# picture as PNG; a picture xclip offers pastes with Ctrl+V as a new layer;
# clicking the history panel's rows walks the history and changes the
# window. Skipped (exit 77) when xvfb-run, xdotool, xclip or ImageMagick's
# import and convert are missing, or the photo is.
#
#   edit-commands-probe.sh <edit_page_probe executable> <photo>
set -u
for tool in xvfb-run xdotool xclip import convert; do
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
  bash "$here/edit-commands-probe-session.sh" "$@"
