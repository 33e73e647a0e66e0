#!/usr/bin/env bash
# The part of the colour range test that runs inside the virtual X server.
set -u
probe=$1
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

count() { grep -c -x -- "$1" "$log"; }
# Waits up to 10 s for a line that is exactly the text (or matches the
# pattern, for wait_match).
wait_for() {
  for _ in $(seq 1 100); do
    [[ $(count "$1") -ge 1 ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ $(count "$1") -ge 1 ]]
}
wait_match() {
  for _ in $(seq 1 100); do
    grep -q -E -- "$1" "$log" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q -E -- "$1" "$log"
}
place() { grep "^$1 [-0-9]* [-0-9]*$" "$log" | tail -n 1 | awk '{print $(NF-1), $NF}'; }
last() { grep "^$1" "$log" | tail -n 1; }
key() { timeout 10 xdotool key --delay 60 "$@"; }
click() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.2
}
click_at() {
  local x y
  read -r x y <<<"$(place "$1")"
  [[ -n "$x" ]] || fail "no place for '$1'"
  click "$x" "$y"
}
# Presses at a logged place, moves by dx in steps and releases.
drag_by() {
  local x y
  read -r x y <<<"$(place "$1")"
  [[ -n "$x" ]] || fail "no place for '$1'"
  timeout 10 xdotool mousemove --window "$window" "$x" "$y" sleep 0.1 mousedown 1 sleep 0.1
  local to
  for step in 1 2 3 4; do
    to=$((x + $2 * step / 4))
    ((to < 1)) && to=1  # the window's left edge; the drag goes on beyond the bar
    timeout 10 xdotool mousemove --window "$window" "$to" "$y" sleep 0.05
  done
  timeout 10 xdotool mouseup 1
  sleep 0.3
}
shot() {
  [[ -n "${COLOR_RANGE_PROBE_SHOTS:-}" ]] && command -v import >/dev/null &&
    timeout 10 import -window "$window" "$COLOR_RANGE_PROBE_SHOTS/$1.png"
  return 0
}
handles() { last 'handles ' | cut -d' ' -f2-5; }

export XDG_CONFIG_HOME=$work/config
touch "$log"
"$probe" "$log" &
pid=$!
wait_for 'ready' || fail "the window did not open"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tessera range probe$' | head -n 1)
[[ -n "$window" ]] || fail "no window named 'Tessera range probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for 'activate 1' || fail "no activation"

# The colour range dialog: the selector takes the mouse only once the hue
# box is ticked; then handle 3 goes right and handle 0 left, each held by
# its neighbours and the bar.
key r
wait_for 'range shown' || fail "the colour range dialog did not open"
wait_for 'selector enabled 0' || fail "the selector is on before the hue box is ticked"
sleep 0.3
shot range-start
[[ $(handles) == "35000 39000 43000 46000" ]] || fail "a new selector: $(handles)"
click_at 'hue box'
wait_for 'selector enabled 1' || fail "ticking the hue box left the selector off"
drag_by 'handle 3' 60
wait_match '^handles 35000 39000 43000 [0-9]+ ' || fail "no drag of handle 3: $(handles)"
read -r h0 h1 h2 h3 <<<"$(handles)"
((h3 > 50000)) || fail "handle 3 moved to $h3 only"
drag_by 'handle 0' -600
wait_match '^handles 0 39000 ' || fail "handle 0 dragged beyond the bar's left end: $(handles)"
shot range-dragged

# The Skin preset sets the band and the marker and ticks the midtones.
click_at presets
wait_for 'menu shown' || fail "the preset menu did not open"
read -r _ _ x y _ <<<"$(grep ' Skin$' "$log" | grep '^row ' | tail -n 1)"
[[ -n "${x:-}" ]] || fail "no Skin row"
sleep 0.2
click "$x" "$y"
wait_for 'handles 14563 16803 24925 29966 marker 18204' || fail "the Skin preset: $(last 'handles ')"

# The preview: the mask style shows the mask at once.
click_at 'mask style'
wait_match '^preview style 1 width 360$' || fail "the mask style showed no preview: $(last 'preview ')"
sleep 0.5
shot range-mask
click_at ok
wait_match '^range result 1 selected [1-9][0-9]*$' || fail "OK: $(last 'range result')"

# The brush dialog: the size slider's track pressed near its left end
# makes the brush small, and the preview follows.
key b
wait_for 'brush shown' || fail "the brush dialog did not open"
wait_match '^brush size 20 preview [0-9]+$' || fail "the brush's start: $(last 'brush size')"
sleep 0.3
shot brush
click_at 'size track'
wait_match '^brush size [1-9] preview ' || fail "the size track: $(last 'brush size')"
click_at ok
wait_match '^brush result 1 [1-9] 50 100$' || fail "the brush's answer: $(last 'brush result')"

# The about box closes at the first click.
key a
wait_for 'about shown' || fail "the about box did not open"
sleep 0.6
shot about
click 300 300
wait_for 'about closed 1' || fail "a click left the about box open"

key Escape
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "colour range probe: handles dragged, Skin chosen, mask preview, selection made; brush sized; about box closed"
