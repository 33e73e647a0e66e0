#!/usr/bin/env bash
# The part of the path bar and property list test that runs inside the
# virtual X server.
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
key() { timeout 10 xdotool key --delay 50 "$@"; }

if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" &
pid=$!
wait_for 'ready' || fail "the window did not open"
find_window 'Tessera path probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera path probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for 'activate 1$' || fail "no activation"

# Path bar: the pointer rests on the current segment ("Ceremony") and its
# sibling list opens by itself, the node last after a separator; choosing
# "Reception" tells the page to go there.
read -r _ _ x y <<<"$(last 'segment 0 ')"
move "$x" "$y"
wait_for 'siblings 4$' || fail "resting on the segment opened no list of four rows"
[[ $(count 'navigate') -eq 0 ]] || fail "the list opened with a choice"
read -r _ _ x y <<<"$(last 'sibling 1 ')"
click "$x" "$y"
wait_for 'navigate Reception$' || fail "choosing the second row did not go to Reception"

# Property list: a click on a value opens its field; typed text replaces
# the value and a click on the label column ends the edit.
read -r _ _ vx vy <<<"$(last 'value 0 ')"
read -r _ _ lx ly <<<"$(last 'label 0 ')"
click "$vx" "$vy"
sleep 0.3
key ctrl+a
timeout 10 xdotool type --delay 80 '345'
click "$lx" "$ly"
wait_for 'edit end 1 345$' || fail "the count did not become 345: $(last 'edit end')"

read -r _ _ vx vy <<<"$(last 'value 1 ')"
read -r _ _ lx ly <<<"$(last 'label 1 ')"
click "$vx" "$vy"
sleep 0.3
key ctrl+a
timeout 10 xdotool type --delay 80 '1/8'
click "$lx" "$ly"
wait_for 'edit end 2 1/8$' || fail "the exposure time did not become 1/8: $(last 'edit end')"

key q
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
lines 'exit 0$' >/dev/null || fail "no clean exit"
echo "path probe at $dpi dpi: a sibling chosen from the list that opened on a resting pointer, two values typed into the property list"
