#!/usr/bin/env bash
# End-to-end test of external-editor mode and the companion service: the
# real tessera under a virtual X server. A host writes an exchange file and
# runs `tessera i0 FILE`: one window without album takes the file in; the
# window closes with status 0. Again, with automatic levels from the
# exposure menu, the tab's close button and Yes to "pluginapplyask": the
# levelled picture goes back into FILE, the run ends with status 0 and
# config.dat stays as it was. Then a normal run against a stand-in service
# that offers version 2.51: the offer shows as a message box, No stores
# LastCheckVersion 251; its notice shows the album's notice item, whose
# click shows the message, and Yes opens the link (a stand-in xdg-open
# records it). Skipped (exit 77) when xvfb-run, xdotool or
# ImageMagick's import is missing; bounded by timeouts throughout.
#
#   external-editor.sh <tessera> <source data folder> <text-table.sh> <fake service>
set -u
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 170 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/external-editor-session.sh" "$@"
