#!/usr/bin/env bash
# The part of the menu test that runs inside the virtual X server.
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
# The clock of the last line that matches.
time_of() { lines "$1" | tail -n 1 | cut -d' ' -f1; }
# The line number of the last line that matches.
line_of() { grep -n "^[0-9]* $1" "$log" | tail -n 1 | cut -d: -f1; }
click() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2" click 1
}
key() {
  timeout 10 xdotool key "$@"
}

if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" &
pid=$!
wait_for 'ready' || fail "the window did not open"
find_window 'Tessera menu probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera menu probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for 'activate 1$' || fail "no activation"
read -r _ bx by <<<"$(last 'button [0-9]')"

# A click on a row: the command comes after the closing message.
key m
wait_count 'shown menu$' 1 || fail "the menu did not open"
read -r _ _ _ x y <<<"$(last 'row menu 1 ')"
sleep 0.3
click "$x" "$y"
wait_for 'command 2$' || fail "a click on Save gave no command"
[[ $(line_of 'closing message menu 1$') -lt $(line_of 'command 2$') ]] ||
  fail "the command came before the closing message"

# Animated by the render thread: the keyboard chooses the first row.
key a
wait_for 'animation 1$' || fail "the animation switch did not turn on"
key m
wait_count 'shown menu$' 2 || fail "the menu did not open again"
sleep 0.5
key Down
sleep 0.2
key Return
wait_for 'command 1$' || fail "Down and Return gave no command"
alphas=$(count 'alpha menu ')
distinct=$(lines 'alpha menu ' | cut -d' ' -f4 | sort -u | wc -l)
[[ $alphas -ge 6 && $distinct -ge 5 ]] || fail "the animation drew $distinct alphas in $alphas frames"
key a
wait_for 'animation 0$' || fail "the animation switch did not turn off"

# The pointer on More opens the sub-menu beside it; a click there chooses.
key m
wait_count 'shown menu$' 3 || fail "the menu did not open a third time"
read -r _ _ _ x y <<<"$(last 'row menu 3 ')"
sleep 0.3
timeout 10 xdotool mousemove --window "$window" "$x" "$y"
wait_for 'shown sub$' || fail "the pointer on More did not open the sub-menu"
read -r _ _ _ x y <<<"$(last 'row sub 1 ')"
sleep 0.3
timeout 10 xdotool mousemove --window "$window" "$x" "$y"
sleep 0.3
click "$x" "$y"
wait_for 'command 102$' || fail "a click on Beta gave no command"

# A click beside the open menu closes it and reaches the button under the
# pointer, press before release, after the menu's pause of 500 ms.
key m
wait_count 'shown menu$' 4 || fail "the menu did not open a fourth time"
sleep 0.3
commands=$(count 'command ')
click "$bx" "$by"
wait_for 'button clicked$' || fail "the click beside the menu did not click the button"
press=$(time_of 'press menu$')
down=$(time_of 'button down$')
[[ $((down - press)) -ge 500 ]] || fail "the button got the press $((down - press)) ms after the menu"
[[ $(line_of 'button down$') -lt $(line_of 'button up$') ]] || fail "the button got the release first"
[[ $(count 'command ') -eq $commands ]] || fail "the click beside the menu chose something"

key q
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
lines 'exit 0$' >/dev/null || fail "no clean exit"
echo "menu probe at $dpi dpi: rows chosen by click and keyboard, animated, the sub-menu, and the click beside the menu reached the button"
