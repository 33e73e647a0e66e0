#!/usr/bin/env bash
# The part of the white-balance dialog test that runs inside the virtual X
# server.
set -u
probe=$1
photo=$2
work=$(mktemp -d)
log=$work/log
pid=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe log:"
  cat "$log"
  exit 1
}
# Waits up to 20 s (or the seconds given) for a new line of the log that
# matches, after the count of such lines given first.
wait_new() {
  local tries=$((${3:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    [[ $(grep -c "$2" "$log") -gt $1 ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ $(grep -c "$2" "$log") -gt $1 ]]
}
# Presses a driver key and reads the line it writes.
ask() {
  local count
  count=$(grep -c "$2" "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" "$1"
  wait_new "$count" "$2" || fail "no answer to $1"
  grep "$2" "$log" | tail -n 1
}
layer() { read -r _ _ step _ diff < <(ask F7 '^layer'); }
dialog() {
  read -r _ _ mode _ bx by bw bh _ ax ay aw ah dumped _ mix _ okx oky < <(ask F8 '^dialog')
}
# The window's capture of the after view equals its back-buffer pixels.
after_as_drawn() {
  [[ "$dumped" == dumped ]] || fail "$1: the after view's pixels were not dumped"
  timeout 20 import -window "$window" -crop "${aw}x${ah}+${ax}+${ay}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  cmp -s "$work/dump.rgb" "$work/screen.rgb" || fail "$1: the capture of the after view differs from the back buffer"
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

mkdir -p "$work/home/Pictures" "$work/config" "$work/etc" "$work/tmp"
touch "$log"
HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
  "$probe" "$log" "$work/dump.rgb" "$photo" > "$work/output" 2>&1 &
pid=$!
wait_new 0 '^opened' 120 || fail "the photo did not open"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tessera$' | head -n 1)
[[ -n "$window" ]] || fail "no window named 'Tessera'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
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

# Closed by the frame's close button: Yes to closing, No to saving.
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
wait_new 0 '^close asked$' 10 || fail "the close button did not ask to close"
sleep 0.5
timeout 10 xdotool key --window "$window" y
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.3
  timeout 5 xdotool key --window "$window" n 2>/dev/null
done
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the program ended with $rc"
grep -q '^engine joined 1$' "$log" || fail "the algorithm engine's threads did not join"
echo "white balance: a click changed the after view (as captured), Cancel left the layer as opened, OK gave one step that Ctrl+Z undid, and a soft selection mixed the change by the formula"
