#!/usr/bin/env bash
# The part of the text tool test that runs inside the virtual X server.
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
wait_for() {
  local tries=$((${2:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}
# Presses a probe key and waits for its next line starting with the word.
ask() {
  local before
  before=$(grep -c "^$2" "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" "$1"
  for _ in $(seq 1 100); do
    [[ $(grep -c "^$2" "$log") -gt $before ]] && break
    sleep 0.1
  done
  grep "^$2" "$log" | tail -n 1
}
text_state() {
  line=$(ask F12 text)
  read -r _ _ bx by _ tool _ mx my _ count _ <<< "$line"
  typed=$(sed -e 's/.*text \[//' -e 's/\]$//' <<< "$line")
}
layer_state() {
  read -r _ count _ current _ step _ < <(ask F7 layers)
}

setxkbmap -layout de || fail "setxkbmap could not load the German layout"
mkdir -p "$work/home/Pictures" "$work/config" "$work/etc" "$work/tmp"
touch "$log"
HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
  "$probe" "$log" "$work/dump.rgb" "$photo" > "$work/output" 2>&1 &
pid=$!
wait_for '^opened' 120 || fail "the photo did not open"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tessera$' | head -n 1)
[[ -n "$window" ]] || fail "no window named 'Tessera'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for '^activate [12]$' || fail "no activation"

# The text tool's button, then a click on the photo's middle.
text_state
[[ $bx -gt 0 && $by -gt 0 ]] || fail "no text tool button"
timeout 10 xdotool mousemove --window "$window" "$bx" "$by" click 1
sleep 0.5
read -r _ _ _ _ _ _ _ _ _ _ ix iy iw ih _ < <(ask F8 state)
[[ ${iw:-0} -gt 0 ]] || fail "no image rectangle"
timeout 10 xdotool mousemove --window "$window" $((ix + iw / 3)) $((iy + ih / 3))
sleep 0.3
timeout 10 xdotool click --window "$window" 1
sleep 0.5
text_state
[[ $tool -eq 12 && $count -eq 2 ]] || fail "the click left tool $tool and $count layers"

# Typed through the text input as a German keyboard does: the capital
# with its accent through the dead acute key, the rest as it comes.
timeout 10 xdotool key --window "$window" --delay 80 dead_acute shift+e
timeout 20 xdotool type --window "$window" --delay 80 "té 2024"
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

# Closed by the frame's close button: Yes to closing, No to saving.
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
wait_for '^close asked$' 10 || fail "the close button did not ask to close"
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
echo "text tool: \"Été 2024\" typed into a new text layer, the confirm mark recorded it, Ctrl+Z removed it"
