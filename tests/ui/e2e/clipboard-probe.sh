#!/usr/bin/env bash
# End-to-end test of the clipboard: runs the probe under a virtual X server
# and exchanges with xclip pictures (large enough to travel INCR both ways),
# file lists copied and cut (a second paste after a cut does nothing),
# malformed uri-lists (refused) and text, then meets another program that
# holds the clipboard and never answers. Skipped (exit 77) when xvfb-run,
# xclip or ImageMagick's convert is missing; bounded by timeouts throughout.
set -u
probe=$1
for tool in xvfb-run xclip convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 5 140 xvfb-run -a -s "-screen 0 800x600x24" bash "$here/clipboard-probe-session.sh" "$probe"
