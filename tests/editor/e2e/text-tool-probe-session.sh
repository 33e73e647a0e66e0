#!/usr/bin/env bash
# The part of the text tool test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/edit-probe-lib.sh"

# F12: the text tool's button, the current tool, the confirm mark, the
# layer count and the edited layer's text; F7: the layers and the step.
text_state() {
  ask F12 '^text'
  read -r _ _ bx by _ tool _ mx my _ count _ <<< "$answer"
  typed=$(sed -e 's/.*text \[//' -e 's/\]$//' <<< "$answer")
}
layer_state() {
  ask F7 '^layers'
  read -r _ count _ current _ step _ <<< "$answer"
}

setxkbmap -layout de || fail "setxkbmap could not load the German layout"
open_edit_probe "$photo"

# The text tool's button, then a click on the photo's middle.
text_state
[[ $bx -gt 0 && $by -gt 0 ]] || fail "no text tool button"
timeout 10 xdotool mousemove --window "$window" "$bx" "$by" click 1
sleep 0.5
page_state
[[ ${iw:-0} -gt 0 ]] || fail "no image rectangle"
timeout 10 xdotool mousemove --window "$window" $((ix + iw / 3)) $((iy + ih / 3))
sleep 0.3
timeout 10 xdotool click --window "$window" 1
sleep 0.5
text_state
[[ $tool -eq 12 && $count -eq 2 ]] || fail "the click left tool $tool and $count layers"

# Typed through the text input as a German keyboard does: the capital
# with its accent through the dead acute key, the rest as it comes. Both
# accents go through the dead key: xdotool types a character missing from
# the keymap by remapping a spare key for a moment, and under load the
# remap is undone before the event is read, losing the character.
timeout 10 xdotool key --window "$window" --delay 80 dead_acute shift+e
timeout 10 xdotool type --window "$window" --delay 80 "t"
timeout 10 xdotool key --window "$window" --delay 80 dead_acute e
timeout 20 xdotool type --window "$window" --delay 80 " 2024"
sleep 0.8
text_state
[[ "$typed" == "Été 2024" ]] || fail "the layer holds [$typed]"
timeout 20 import -window "$window" "$work/typed.png"
[[ -n "${TEXT_PROBE_SHOT:-}" ]] && cp "$work/typed.png" "$TEXT_PROBE_SHOT"

# The confirm mark ends the edit with one step and drops the tool.
timeout 10 xdotool mousemove --window "$window" "$mx" "$my"
sleep 0.3
timeout 10 xdotool click --window "$window" 1
sleep 0.8
text_state
[[ $tool -eq 0 ]] || fail "the confirm mark left tool $tool"
layer_state
[[ $count -eq 2 && $step -eq 1 ]] || fail "after the confirm mark: $count layers at step $step"

# Ctrl+Z removes the layer again.
timeout 10 xdotool key --window "$window" ctrl+z
sleep 0.8
layer_state
[[ $count -eq 1 && $step -eq 0 ]] || fail "Ctrl+Z left $count layers at step $step"

close_edit_probe
echo "text tool: \"Été 2024\" typed into a new text layer, the confirm mark recorded it, Ctrl+Z removed it"
