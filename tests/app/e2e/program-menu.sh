#!/usr/bin/env bash
# End-to-end test of the album's program menu in the real tessera under a
# virtual X server: the about box opens from the menu and closes on a
# click, the settings dialog opens and Escape closes it, help without a
# manual says so; choosing a language of the test's own ("francais", in
# the data folder beside the program) says "restartTosee", and after a
# restart the window's title and the menu come from that language.
# Skipped (exit 77) when xvfb-run, xdotool or ImageMagick's import is
# missing; bounded by timeouts throughout.
#
#   program-menu.sh <tessera> <source data folder> <text-table.sh>
set -u
for tool in xvfb-run xdotool import convert compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 170 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/program-menu-session.sh" "$@"
