#!/usr/bin/env bash
# End-to-end test of the program itself: starts the real tessera under a
# virtual X server, with its debug log switched on, a language of the
# test's own chosen and one search folder in config.dat, and checks the
# window (its title from that language, its icon, the album tab, the help
# button, whose message says the manual is missing), the start-up lines of
# the log in order, that closing it by its
# close button asks in a message box (N keeps the window, Y ends the process
# with status 0) and that the photo scan found the folder's two pictures.
# Skipped (exit 77) when xvfb-run, xdotool or ImageMagick's import is
# missing; bounded by timeouts throughout. With TESSERA_WINDOW_SHOT and
# TESSERA_CLOSE_SHOT set to file names, screenshots of the first screen and
# of the close question are written there.
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
