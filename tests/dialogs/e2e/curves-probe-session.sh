#!/usr/bin/env bash
# The part of the curves dialog test that runs inside the virtual X server:
# the dialog opened from the exposure menu, a point added on the curve and
# dragged, Cancel, OK with undo and redo, the preview on the photo, and a
# soft selection.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/probe-lib.sh"

curves() {
  read -r _ _ mode _ px py pw ph _ ax ay aw ah dumped _ mix _ okx oky _ vx vy _ identity _ outside _ inside < <(
    ask F8 '^curves mode')
}
# The exposure button of the adjust column opens its menu; its curves entry
# (letter P) opens the dialog. Waits until the dialog shows its curve box and
# the photo.
open_curves() {
  local ex ey
  ask F8 '^dialog none' >/dev/null
  read -r ex ey < <(grep '^adjust 2 ' "$log" | tail -n 1 | cut -d ' ' -f 3,4)
  [[ -n "$ex" ]] || fail "no exposure button in the adjust column"
  timeout 10 xdotool mousemove --window "$window" "$ex" "$ey" click 1
  ask F9 '^top' | grep -q '^top menu' || fail "the exposure button opened no menu"
  timeout 10 xdotool key --window "$window" p
  for _ in $(seq 1 50); do
    curves
    [[ $pw -gt 0 && $aw -gt 0 && $mode -ne 4 ]] && return 0
    sleep 0.3
  done
  fail "the curves dialog did not show its curve and the photo"
}
# A click on the identity curve in the middle of the plot adds a point; a
# press right there, with no move between, drags it 50 pixels up.
drag_curve() {
  local mx=$((px + pw / 2)) my=$((py + ph / 2))
  timeout 10 xdotool mousemove --window "$window" "$mx" "$my"
  sleep 0.3
  timeout 10 xdotool click --window "$window" 1
  sleep 0.3
  timeout 10 xdotool mousedown --window "$window" 1
  for i in $(seq 1 10); do
    timeout 10 xdotool mousemove --window "$window" "$mx" $((my - 5 * i))
    sleep 0.05
  done
  timeout 10 xdotool mouseup --window "$window" 1
  curves
  [[ $identity -eq 0 ]] || fail "the drag did not change the curve box's table"
}
# The after view shows the change: its pixels differ from those before the
# drag, and the window's capture equals the back buffer.
drag_shows() {
  curves
  cp "$work/dump.rgb" "$work/unchanged.rgb"
  drag_curve
  [[ "$mix" == 0 ]] || fail "$1: the layer is not the curve of the photo with the box's table ($mix samples differ)"
  after_as_drawn "$1"
  cmp -s "$work/dump.rgb" "$work/unchanged.rgb" && fail "$1: the after view did not change"
  return 0
}
click_ok() {
  local count
  count=$(grep -c '^curves 1' "$log")
  timeout 10 xdotool mousemove --window "$window" "$okx" "$oky" click 1
  wait_new "$count" '^curves 1' || fail "OK did not accept the dialog"
}
canvas() { read -r _ cx cy cw ch cdumped < <(ask F12 '^canvas'); }
canvas_as_drawn() {
  [[ "$cdumped" == dumped ]] || fail "$1: the canvas's pixels were not dumped"
  timeout 20 import -window "$window" -crop "${cw}x${ch}+${cx}+${cy}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  cmp -s "$work/dump.rgb" "$work/screen.rgb" || fail "$1: the capture of the canvas differs from the back buffer"
}

start_probe
layer
opened=$step
[[ $diff -eq 0 ]] || fail "the layer differs from the photo as opened"
# A drag changes the after view; Cancel leaves the layer as opened, byte
# for byte.
open_curves
drag_shows "after a drag"
layer
[[ $diff -gt 0 ]] || fail "the drag left the layer as opened"
timeout 10 xdotool key --window "$window" Escape
wait_new 0 '^curves 0' || fail "Escape did not cancel the dialog"
layer
[[ $diff -eq 0 && $step -eq $opened ]] || fail "Cancel left the layer changed by $diff at step $step"

# OK gives one curves step with the RGB curve's block (one byte and 132
# samples); Ctrl+Z brings the photo back within the rounding of the
# history's packed pixels (well below 256 of 65535), Ctrl+Y the result.
open_curves
drag_shows "before OK"
click_ok
layer
[[ $step -eq $((opened + 1)) && $diff -gt 0 ]] || fail "OK left step $step, the layer changed by $diff"
[[ $named -eq 1 && $steptype -eq 22 && $blocksize -eq 265 ]] ||
  fail "the step is not the curves step (named $named, type $steptype, block of $blocksize bytes)"
ask F11 '^kept' >/dev/null
sleep 0.3
timeout 10 xdotool key --window "$window" ctrl+z
layer
[[ $step -eq $opened && $diff -le 256 ]] || fail "Ctrl+Z left step $step, the layer changed by $diff"
undone=$diff
sleep 0.3
timeout 10 xdotool key --window "$window" ctrl+y
layer
[[ $step -eq $((opened + 1)) && $result -le 256 ]] ||
  fail "Ctrl+Y left step $step, the layer off the result by $result"
redone=$result
timeout 10 xdotool key --window "$window" ctrl+z
layer
[[ $step -eq $opened ]] || fail "the second Ctrl+Z left step $step"

# The view panel's on-the-photo item shows the curve on the canvas itself;
# Cancel brings the photo back.
canvas
cp "$work/dump.rgb" "$work/canvas-opened.rgb"
open_curves
drag_curve
timeout 10 xdotool mousemove --window "$window" "$vx" "$vy" click 1
for _ in $(seq 1 50); do
  sleep 0.3
  curves
  [[ $mode -eq 4 ]] && break
done
[[ $mode -eq 4 ]] || fail "the on-the-photo item did not switch to view mode 4"
canvas
canvas_as_drawn "in view mode 4"
cmp -s "$work/dump.rgb" "$work/canvas-opened.rgb" && fail "the canvas does not show the curve in view mode 4"
cp "$work/dump.rgb" "$work/canvas-preview.rgb"
timeout 10 xdotool key --window "$window" Escape
wait_new 1 '^curves 0' || fail "Escape did not cancel the dialog in view mode 4"
canvas
cmp -s "$work/dump.rgb" "$work/canvas-opened.rgb" || fail "the canvas did not return to the photo after Cancel"

# With a soft selection the change is mixed through it: untouched where it
# is empty (alpha too), the whole curve where it is full, and the ramp by
# the formula.
count=$(grep -c '^selected' "$log")
timeout 10 xdotool key --window "$window" F6
wait_new "$count" '^selected' || fail "the selection was not set"
open_curves
drag_shows "with a selection"
[[ $outside -eq 0 && $inside -eq 0 ]] ||
  fail "the selection's mix is off: $outside samples outside, $inside inside"
click_ok
layer
[[ $step -eq $((opened + 1)) && $named -eq 1 ]] || fail "OK with a selection left step $step"

close_probe
echo "curves: from the exposure menu, a point added on the curve and dragged changed the after view (as captured) and the layer to the box's curve, Cancel left the layer as opened, OK gave one curves step that Ctrl+Z undid (off by $undone) and Ctrl+Y redid (off by $redone), view mode 4 showed it on the canvas, and a soft selection mixed it by the formula"
