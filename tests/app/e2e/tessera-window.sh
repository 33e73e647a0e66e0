#!/usr/bin/env bash
# End-to-end test of the program itself: starts the real tessera under a
# virtual X server, with its debug log switched on and a language of the
# test's own chosen, and checks the window (its title from that language,
# the album tab, the help button), the start-up lines of the log in order,
# and that closing it by its close button ends the process with status 0.
# Skipped (exit 77) when xvfb-run, xdotool or ImageMagick's import is
# missing; bounded by timeouts throughout. With TESSERA_WINDOW_SHOT set to a
# file name, a screenshot of the first screen is written there.
#
#   tessera-window.sh <tessera executable> <source data folder> <text-table.sh>
set -u
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 170 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/tessera-window-session.sh" "$@"
