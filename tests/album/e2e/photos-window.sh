#!/usr/bin/env bash
# End-to-end test of the album's photo commands in the real program under a
# virtual X server: Ctrl+A and Ctrl+C put the photos on the clipboard as a
# uri-list that xclip reads; a double click shows a photo full-page, where
# the wheel zooms, a drag pans, the arrow keys step and Esc leaves. Skipped
# (exit 77)
# when xvfb-run, xdotool, xclip or the test images are missing.
#
#   photos-window.sh <tessera executable> <source data folder> <text-table.sh> <test-image cache>
set -u
for tool in xvfb-run xdotool xclip identify; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
[[ -d "${4:-}" ]] || { echo "no test-image cache: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 200 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/photos-window-session.sh" "$@"
