#!/usr/bin/env bash
# The part of the tree, grid and slider test that runs inside the virtual X
# server.
set -u
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/find-window.sh"
probe=$1
dpi=$2
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

# Log lines start with the probe's clock in milliseconds; the patterns
# match from the text after it.
lines() { grep "^[0-9]* $1" "$log"; }
count() { grep -c "^[0-9]* $1" "$log"; }
wait_count() {
  for _ in $(seq 1 100); do
    [[ $(count "$1") -ge $2 ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ $(count "$1") -ge $2 ]]
}
wait_for() { wait_count "$1" 1; }
# The fields after the clock of the last line that matches.
last() { lines "$1" | tail -n 1 | cut -d' ' -f2-; }
move() { timeout 10 xdotool mousemove --window "$window" "$1" "$2"; }
click() {
  move "$1" "$2"
  sleep 0.2
  timeout 10 xdotool click 1
}
# A press, moves toward the end in steps of 10 pixels, a release.
drag() {
  local x=$1 y=$2 tx=$3 ty=$4
  move "$x" "$y"
  sleep 0.2
  timeout 10 xdotool mousedown 1
  while [[ $x -ne $tx || $y -ne $ty ]]; do
    if ((x < tx)); then x=$((x + 10 > tx ? tx : x + 10)); elif ((x > tx)); then x=$((x - 10 < tx ? tx : x - 10)); fi
    if ((x == tx)); then
      if ((y < ty)); then y=$((y + 10 > ty ? ty : y + 10)); elif ((y > ty)); then y=$((y - 10 < ty ? ty : y - 10)); fi
    fi
    move "$x" "$y"
    sleep 0.03
  done
  sleep 0.2
}
release() { timeout 10 xdotool mouseup 1; }

if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" &
pid=$!
wait_for 'ready' || fail "the window did not open"
find_window 'Tessera list probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera list probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for 'activate 1$' || fail "no activation"
scale=$(last 'ready' | cut -d' ' -f4)

# Tree: a click selects a row, the wheel scrolls 120 pixels a notch, a
# press dragged upward scrolls the rows with the pointer and selects
# nothing.
read -r _ _ x y <<<"$(last 'row 2 ')"
click "$x" "$y"
wait_for 'tree select 2$' || fail "a click on row 2 selected nothing"
timeout 10 xdotool click 5
wait_for 'tree scroll 120$' || fail "the wheel did not scroll the tree by 120"
drag "$x" "$y" "$x" $((y - 40))
release
wait_count 'tree released' 2 || fail "the tree heard no release after the drag"
read -r _ _ _ scroll _ selected <<<"$(last 'tree released')"
expected=$(awk -v s="$scale" 'BEGIN { printf "%d", 120 + 40 / s }')
((scroll >= expected - 2 && scroll <= expected + 2)) || fail "the drag scrolled the tree to $scroll, not about $expected"
[[ $selected -eq 2 && $(count 'tree select') -eq 1 ]] || fail "the drag changed the tree's selection"

# Grid: a click selects a cell; a press moved sideways draws a rubber band
# that selects the cells whose centres it covers; the wheel scrolls.
read -r _ _ x y <<<"$(last 'cell 1 ')"
click "$x" "$y"
wait_for 'list select 1$' || fail "a click on cell 1 selected nothing"
read -r _ _ x0 y0 <<<"$(last 'band 0 ')"
read -r _ _ x1 y1 <<<"$(last 'band 1 ')"
drag "$x0" "$y0" "$x1" "$y1"
release
wait_for 'list released scroll 0 selected 0 1$' || fail "the rubber band did not select cells 0 and 1"
timeout 10 xdotool click 5
wait_for 'list scroll 120$' || fail "the wheel did not scroll the grid by 120"

# Slider: dragging the thumb posts nothing until the release, then once.
read -r _ _ x y <<<"$(last 'thumb 0 ')"
drag "$x" "$y" $((x + 60)) "$y"
[[ $(count 'slider ') -eq 0 ]] || fail "the slider posted while dragging"
release
wait_for 'slider ' || fail "the slider posted nothing at the release"
sleep 0.3
[[ $(count 'slider ') -eq 1 ]] || fail "the slider posted $(count 'slider ') times"
read -r _ value units <<<"$(last 'slider ')"
((value > 5000 && units == 100)) || fail "the drag gave $value in units of $units"

# Slider: the value button asks for a value; the fraction 1/4 in hundredths
# is 25.
read -r _ _ x y <<<"$(last 'value 0 ')"
click "$x" "$y"
wait_for 'value input$' || fail "a click on the value button asked for nothing"
sleep 0.8
# The field holds the value shown; Ctrl+A selects it, typing replaces it.
timeout 10 xdotool key ctrl+a
timeout 10 xdotool type --delay 80 '1/4'
timeout 10 xdotool key Return
wait_for 'slider 25 100$' || fail "typing 1/4 did not set 25 hundredths"

timeout 10 xdotool key q
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
lines 'exit 0$' >/dev/null || fail "no clean exit"
echo "list probe at $dpi dpi: tree rows clicked, wheeled and dragged, grid cells clicked, banded and wheeled, the slider's thumb dragged and 1/4 typed into its value input"
