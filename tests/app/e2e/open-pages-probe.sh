#!/usr/bin/env bash
# End-to-end test of opening and switching pages: runs Tessera's main
# window with a test driver under a virtual X server, drops three photos on
# its tab strip from a drag-and-drop source of the test's own (X
# drag-and-drop with a text/uri-list, as a file manager drops), and with
# xdotool switches tabs by their titles, drops a photo again, closes a tab
# by its close button and opens the adjust page's transform menu. Skipped
# (exit 77) when xvfb-run, xdotool or ImageMagick's convert is missing;
# bounded by timeouts throughout.
#
#   open-pages-probe.sh <open_pages_probe executable> <xdnd_source executable>
set -u
for tool in xvfb-run xdotool convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 170 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/open-pages-probe-session.sh" "$@"
