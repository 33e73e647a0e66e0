#!/usr/bin/env bash
# End-to-end test of crash recovery: the real tessera under a virtual X
# server. Two photos dropped on the tab strip (X drag-and-drop, as a file
# manager drops), one turned from the adjust page's transform menu, the
# process killed with SIGKILL: the next start asks "recoverAsk"; Yes brings
# both pages back, the turned one turned, and Ctrl+Z returns it to the
# original; the start after that offers nothing. A second crash answered
# No leaves no index and no history files. Skipped (exit 77) when xvfb-run,
# xdotool or ImageMagick's import is missing; bounded by timeouts throughout.
#
#   recovery.sh <tessera> <source data folder> <text-table.sh> <xdnd_source>
set -u
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 230 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/recovery-session.sh" "$@"
