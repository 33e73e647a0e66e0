#!/usr/bin/env bash
# The part of the paint and lasso test that runs inside the virtual X server.
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
# F11: the tool buttons, the image rectangle, the tool, step, selection, sum.
tools() {
  local before
  before=$(grep -c '^tools' "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" F11
  for _ in $(seq 1 100); do
    [[ $(grep -c '^tools' "$log") -gt $before ]] && break
    sleep 0.1
  done
  read -r _ _ px py _ lx ly _ ix iy iw ih _ tool _ step _ selected _ sum < <(grep '^tools' "$log" | tail -n 1)
}
click() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  timeout 10 xdotool click 1
  sleep 0.5
}
# A drag with the left button through the points given as x y pairs.
drag() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.2
  timeout 10 xdotool mousedown 1
  shift 2
  while [[ $# -ge 2 ]]; do
    sleep 0.05
    timeout 10 xdotool mousemove --window "$window" "$1" "$2"
    shift 2
  done
  sleep 0.2
  timeout 10 xdotool mouseup 1
  sleep 0.8
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

tools
[[ $px -gt 0 && $lx -gt 0 && $iw -gt 100 ]] || fail "no tool buttons or image ($px $lx $iw)"
step0=$step
sum0=$sum
timeout 20 import -window "$window" "$work/before.png"

# The free paint tool: a stroke across the middle of the photo.
click "$px" "$py"
tools
[[ $tool -eq 16 ]] || fail "the free paint tool is not current (tool $tool)"
cy=$((iy + ih / 2))
drag $((ix + iw / 5)) $cy $((ix + iw * 2 / 5)) $((cy - 20)) $((ix + iw * 3 / 5)) $((cy + 20)) $((ix + iw * 4 / 5)) $cy
tools
[[ $step -eq $((step0 + 1)) ]] || fail "the stroke made no step (step $step, was $step0)"
[[ $sum != "$sum0" ]] || fail "the stroke did not change the layer"
timeout 20 import -window "$window" "$work/painted.png"
[[ $(compare -metric AE "$work/before.png" "$work/painted.png" null: 2>&1) != 0 ]] ||
  fail "the window did not show the stroke"

# The lasso: a loop round the upper left part of the photo.
click "$lx" "$ly"
tools
[[ $tool -eq 13 ]] || fail "the lasso is not current (tool $tool)"
x0=$((ix + iw / 8)) y0=$((iy + ih / 8)) x1=$((ix + iw / 2)) y1=$((iy + ih / 2))
drag $x0 $y0 $x1 $y0 $x1 $((y0 + (y1 - y0) / 2)) $x1 $y1 $((x0 + (x1 - x0) / 2)) $y1 $x0 $y1 $x0 $((y0 + 5))
tools
[[ $selected -gt 1000 ]] || fail "the lasso selected $selected pixels"
[[ $step -eq $((step0 + 1)) ]] || fail "the lasso made a step (step $step)"
timeout 20 import -window "$window" "$work/selected.png"
[[ $(compare -metric AE "$work/painted.png" "$work/selected.png" null: 2>&1) != 0 ]] ||
  fail "the window did not show the selection"

# Esc drops the tool; closed by the frame's close button: Yes, then No to saving.
timeout 10 xdotool key --window "$window" Escape
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
echo "paint and lasso: a free-paint stroke changed the layer as one step, a lasso selected $selected pixels without a step, and the window showed both"
