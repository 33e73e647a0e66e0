#!/usr/bin/env bash
# The part of the white-balance dialog test that runs inside the virtual X
# server.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/probe-lib.sh"

dialog() {
  read -r _ _ mode _ bx by bw bh _ ax ay aw ah dumped _ mix _ okx oky < <(ask F8 '^dialog')
}
# F3 opens the dialog; waits until it shows the photo before the change.
open_dialog() {
  timeout 10 xdotool key --window "$window" F3
  for _ in $(seq 1 50); do
    dialog
    [[ $mode -eq 0 && $bw -gt 0 ]] && return 0
    sleep 0.2
  done
  fail "the white-balance dialog did not show the photo"
}
# A click in the middle of the before view, then the result side by side.
click_photo() {
  timeout 10 xdotool mousemove --window "$window" $((bx + bw * 3 / 4)) $((by + bh / 2)) click 1
  for _ in $(seq 1 50); do
    sleep 0.3
    dialog
    [[ $mode -eq 2 ]] && return 0
  done
  fail "a click on the photo did not show before and after"
}

start_probe
layer
opened=$step
[[ $diff -eq 0 ]] || fail "the layer differs from the photo as opened"

# Cancel leaves the layer as opened, byte for byte.
open_dialog
click_photo
after_as_drawn "after a click"
[[ "$mix" == 0 ]] || fail "the layer is not the white balance of the photo ($mix samples differ)"
timeout 10 xdotool key --window "$window" Escape
wait_new 0 '^white balance 0' || fail "Escape did not cancel the dialog"
layer
[[ $diff -eq 0 && $step -eq $opened ]] || fail "Cancel left the layer changed by $diff at step $step"

# OK (clicked) gives one step; Ctrl+Z brings the photo back within the
# rounding of the history's packed pixels (12 bits of luminance, 10 of each
# chroma: well below 256 of 65535).
open_dialog
click_photo
timeout 10 xdotool mousemove --window "$window" "$okx" "$oky" click 1
wait_new 0 '^white balance 1' || fail "OK did not accept the dialog"
layer
[[ $step -eq $((opened + 1)) && $diff -gt 0 ]] || fail "OK left step $step, the layer changed by $diff"
sleep 0.3
timeout 10 xdotool key --window "$window" ctrl+z
layer
[[ $step -eq $opened ]] || fail "Ctrl+Z left step $step"
[[ $diff -le 256 ]] || fail "Ctrl+Z left the layer changed by $diff"

# With a soft selection the change is mixed through it: the driver compares
# every sample with the algorithm's result mixed by the formula.
count=$(grep -c '^selected' "$log")
timeout 10 xdotool key --window "$window" F6
wait_new "$count" '^selected' || fail "the selection was not set"
open_dialog
click_photo
[[ "$mix" == 0 ]] || fail "the selection's mix is off in $mix samples"
after_as_drawn "with a selection"
timeout 10 xdotool mousemove --window "$window" "$okx" "$oky" click 1
wait_new 1 '^white balance 1' || fail "OK did not accept the dialog"

close_probe
echo "white balance: a click changed the after view (as captured), Cancel left the layer as opened, OK gave one step that Ctrl+Z undid, and a soft selection mixed the change by the formula"
