#!/usr/bin/env bash
# The part of the editing commands test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
work=$(mktemp -d)
log=$work/log
pid=
clip=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  [[ -n "$clip" ]] && kill "$clip" 2>/dev/null
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
# F7: layer count, current layer, step, the current layer's picture and the
# history rows' centres.
layers() {
  local before
  before=$(grep -c '^layers' "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" F7
  for _ in $(seq 1 100); do
    [[ $(grep -c '^layers' "$log") -gt $before ]] && break
    sleep 0.1
  done
  read -r _ count _ current _ step _ lw lh dumped _ rows < <(grep '^layers' "$log" | tail -n 1)
  read -r -a row <<< "$rows"
}
key() {
  timeout 10 xdotool key --window "$window" "$1"
  sleep 0.4
}

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

# Ctrl+A, Ctrl+C: the clipboard holds the layer's dithered picture.
key ctrl+a
key ctrl+c
layers
[[ $count -eq 1 && "$dumped" == dumped ]] || fail "no layer to compare"
timeout 30 xclip -selection clipboard -t image/png -o > "$work/copied.png" || fail "xclip read no PNG"
convert "$work/copied.png" -depth 8 "rgba:$work/copied.rgba" || fail "the copied PNG does not decode"
cmp -s "$work/copied.rgba" "$work/dump.rgb.layer" || fail "the clipboard's picture differs from the layer"
timeout 20 import -window "$window" "$work/one-layer.png"

# A picture of another program pastes with Ctrl+V as a layer.
convert -size 40x30 xc:'#20c040' "$work/green.png"
xclip -selection clipboard -t image/png -i "$work/green.png" &
clip=$!
sleep 0.5
key ctrl+v
layers
[[ $count -eq 2 && $current -eq 1 && $step -eq 1 && $lw -eq 40 && $lh -eq 30 ]] ||
  fail "Ctrl+V gave $count layers, current $current, step $step, a layer of $lw x $lh"
timeout 20 import -window "$window" "$work/two-layers.png"

# The history panel's rows: the first brings the opening back, the second
# the paste; the window shows each.
[[ ${#row[@]} -ge 4 ]] || fail "the history panel shows ${#row[@]} coordinates, not two rows"
timeout 10 xdotool mousemove --window "$window" "${row[0]}" "${row[1]}" click 1
sleep 1
layers
[[ $count -eq 1 && $step -eq 0 ]] || fail "the first history row left $count layers at step $step"
timeout 20 import -window "$window" "$work/undone.png"
[[ $(compare -metric AE "$work/two-layers.png" "$work/undone.png" null: 2>&1) != 0 ]] ||
  fail "the window did not change with the first history row"
timeout 10 xdotool mousemove --window "$window" "${row[2]}" "${row[3]}" click 1
sleep 1
layers
[[ $count -eq 2 && $step -eq 1 ]] || fail "the second history row left $count layers at step $step"

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
echo "edit commands: Ctrl+A and Ctrl+C put the layer on the clipboard as xclip reads it, Ctrl+V pasted xclip's picture as a layer, and the history rows walked the history"
