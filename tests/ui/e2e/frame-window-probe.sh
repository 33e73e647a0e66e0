#!/usr/bin/env bash
# End-to-end test of the window frame: runs the probe under a virtual X
# server with a small window manager, at the given display resolution (96 or
# 144 dots per inch through Xft.dpi), and with xdotool drags the borderless
# window by its title band, sizes it at its edges down to the minimum,
# maximises and restores it by double clicks (also after the window manager
# maximised it by itself) and closes it with the close button. Skipped (exit
# 77) when xvfb-run or xdotool is missing; bounded by timeouts throughout.
# With TESSERA_FRAME_SHOTS set to a folder, screenshots of the screen are
# written there (ImageMagick's import).
set -u
probe=$1
dpi=$2
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1600x1200x24 -dpi $dpi -noreset" \
  bash "$here/frame-window-probe-session.sh" "$probe" "$dpi"
