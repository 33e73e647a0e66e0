#!/usr/bin/env bash
# End-to-end test of selecting and dragging photos in the real program under
# a virtual X server: check boxes and a rubber band select (Ctrl+C, read by
# xclip, lists them), two photos dragged onto the tab strip open, and one
# dragged out of the window onto another program's SDL window arrives there
# as its path. Skipped (exit 77) when xvfb-run, xdotool, xclip or the test
# images are missing.
#
#   photo-drag-window.sh <tessera> <data folder> <text-table.sh> <test-image cache> <sdl_drop_target>
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
  bash "$here/photo-drag-window-session.sh" "$@"
