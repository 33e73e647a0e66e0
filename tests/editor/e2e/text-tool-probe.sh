#!/usr/bin/env bash
# End-to-end test of the text tool: the edit page probe's program under a
# virtual X server; the text tool's button, a click on the photo, "Été 2024"
# typed with xdotool into the new text layer, the confirm mark, then Ctrl+Z
# removes the layer. Skipped (exit 77) when xvfb-run, xdotool, setxkbmap or
# ImageMagick's import are missing, or the photo is.
#
#   text-tool-probe.sh <edit_page_probe executable> <photo>
set -u
for tool in xvfb-run xdotool import setxkbmap; do
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
  bash "$here/text-tool-probe-session.sh" "$@"
