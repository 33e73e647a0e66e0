#!/usr/bin/env bash
# End-to-end test of the edit field and text input: runs the probe under a
# virtual X server with a German keyboard layout and with xdotool types
# characters that need AltGr and dead keys, a character beyond the BMP,
# pastes non-ASCII text that xclip holds and copies it back out, and checks
# that text input is on only while the field has the focus. Skipped (exit
# 77) when xvfb-run, xdotool, xclip or setxkbmap is missing; bounded by
# timeouts throughout.
set -u
probe=$1
for tool in xvfb-run xdotool xclip setxkbmap; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
here=$(cd "$(dirname "$0")" && pwd)
# Dead keys compose through the X input method of a UTF-8 locale.
export LC_ALL=C.UTF-8
exec timeout -k 5 110 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$here/edit-probe-session.sh" "$probe"
