#!/usr/bin/env bash
# End-to-end test of the auto wizard in the real tessera under a virtual X
# server: a photo dropped on the tab strip (X drag-and-drop) opens the
# wizard over its page; the exposure card opens its entries, the colour
# card closes them again, unticking "show after opening" stores
# AutoWizard 0 at once, and the object card ends the wizard at once.
# Skipped (exit 77) when xvfb-run, xdotool or ImageMagick's import is
# missing; bounded by timeouts throughout.
#
#   wizard.sh <tessera> <source data folder> <text-table.sh> <xdnd_source>
set -u
for tool in xvfb-run xdotool import convert compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 170 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -noreset" \
  bash "$here/wizard-session.sh" "$@"
