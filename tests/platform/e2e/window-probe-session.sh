#!/usr/bin/env bash
# The part of the window test that runs inside the virtual X server.
set -u
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/find-window.sh"
probe=$1
log=$(mktemp)
pid=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  rm -f "$log"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe log:"
  cat "$log"
  exit 1
}

# Waits up to 10 s for a line of the log that matches.
wait_for() {
  for _ in $(seq 1 100); do
    grep -q "$1" "$log" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}

"$probe" "$log" &
pid=$!
wait_for '^ready' || fail "the window did not open"
find_window '^Tessera probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera probe'"

timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for '^activate 1$' || fail "no activation"
timeout 10 xdotool mousemove --window "$window" 40 30 click 1
wait_for '^up 40 30 0$' || fail "the click did not arrive"
timeout 10 xdotool key a
wait_for '^text input on$' || fail "the key A did not arrive"
timeout 10 xdotool key b
wait_for '^keyup 66$' || fail "the key did not arrive"

"$probe" --close "$window" || fail "could not ask the window to close"
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
for line in 'down 40 30 1' 'up 40 30 0' 'key 65' 'key 66' 'char 98' 'keyup 66' 'close' 'exit 0'; do
  grep -qx "$line" "$log" || fail "missing '$line'"
done
grep -qx 'char 97' "$log" && fail "a key typed a character while text input was off"
echo "window probe: click, keys, text only once text input was on, and close arrived as expected"
