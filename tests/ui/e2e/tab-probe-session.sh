#!/usr/bin/env bash
# The part of the tab frame test that runs inside the virtual X server.
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

# Waits up to 10 s (or the seconds given) for a line of the log that matches.
wait_for() {
  local tries=$((${2:-10} * 10))
  for _ in $(seq 1 "$tries"); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}
# Waits for the count of matching lines to reach n.
wait_count() {
  for _ in $(seq 1 100); do
    [[ $(grep -c "$1" "$log") -ge $2 ]] && return 0
    sleep 0.1
  done
  return 1
}
shot() {
  [[ -n "${TESSERA_TAB_SHOTS:-}" ]] || return 0
  mkdir -p "$TESSERA_TAB_SHOTS"
  timeout 20 import -window "$window" "$TESSERA_TAB_SHOTS/$dpi-$1.png"
}
click() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2" click 1
}
# The window's capture of a logical rectangle equals the probe's dump of it.
same_as_dump() {
  local x=$1 y=$2 w=$3 h=$4
  timeout 20 import -window "$window" -crop "${w}x${h}+${x}+${y}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  cmp "$work/dump.rgb" "$work/screen.rgb" || fail "the capture of $w x $h at $x,$y differs from the back buffer"
}

if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" "$work/dump.rgb" &
pid=$!
wait_for '^ready' || fail "the window did not open"
find_window '^Tessera tab probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera tab probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for '^activate 1$' || fail "no activation"
read -r _ _ t1x t1y < <(grep '^title 1 ' "$log")
read -r _ _ t2x t2y < <(grep '^title 2 ' "$log")
read -r _ _ _ arx ary < <(grep '^arrows ' "$log")
sleep 0.3
shot first

# A plain change by a click on a title.
click "$t1x" "$t1y"
wait_for '^page 1$' || fail "a click on the second title did not change the page"
grep -q '^select 1 plain done' "$log" || fail "the change was not plain"
[[ $(grep -c '^fade' "$log") -eq 0 ]] || fail "a plain change cross-faded"
sleep 0.3
shot plain

# With the animation on, the next change cross-fades frame by frame.
timeout 10 xdotool key a
wait_for '^animation 1$' || fail "the animation switch did not turn on"
click "$t2x" "$t2y"
wait_for '^page 2$' || fail "a click on the third title did not change the page"
read -r _ _ kind _ ms < <(grep '^select 2 ' "$log")
[[ "$kind" == animated ]] || fail "the change was not animated"
fades=$(grep -c '^fade' "$log")
distinct=$(grep '^fade' "$log" | sort -u | wc -l)
[[ $fades -ge 4 && $distinct -ge 4 ]] || fail "the cross-fade showed $distinct colours in $fades frames"
[[ $ms -lt 2500 ]] || fail "the change waited $ms ms: the render thread did not end it"

# The right arrow scrolls the titles; the left one then shows.
click "$arx" "$ary"
sleep 0.3
timeout 10 xdotool key s
wait_for '^state' || fail "no state"
read -r _ _ current _ offset _ left _ right < <(grep '^state' "$log" | tail -n 1)
[[ $current -eq 2 && $offset -gt 0 && $left -eq 1 ]] ||
  fail "after the right arrow: page $current, offset $offset, left arrow $left, right arrow $right"
shot scrolled

# The keyboard goes back one page, cross-faded.
timeout 10 xdotool key Left
wait_count '^page 1$' 2 || fail "the Left key did not go back"
grep -q '^select 1 animated done' "$log" || fail "the Left key's change was not animated"
sleep 0.5

if [[ "$dpi" == 96 ]]; then
  timeout 10 xdotool key d
  wait_for '^dumped page' || fail "no dump of the page"
  sleep 0.3
  read -r _ _ x y w h < <(grep '^dumped page' "$log")
  same_as_dump "$x" "$y" "$w" "$h"
fi

# The busy indicator counts while the UI thread works.
timeout 10 xdotool key p
wait_for '^hold 50' 10 || fail "the busy indicator did not reach 50"
read -r _ _ x y w h < <(grep '^hold 50' "$log")
shot busy
[[ "$dpi" == 96 ]] && same_as_dump "$x" "$y" "$w" "$h"
wait_for '^progress done' 10 || fail "the busy operation did not end"
read -r _ _ side < <(grep '^progress side' "$log")
s=$((side * 16 / 50))
if [[ $s -gt 53 ]]; then size=42x27; else size=${s}x$((s / 2)); fi
expected=$(seq 0 100 | sed "s/.*/percent & $size/")
[[ "$(grep '^percent' "$log")" == "$expected" ]] || fail "the percentages did not run 0 to 100 at $size"

timeout 10 xdotool key q
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "tab probe at $dpi dpi: pages switched plainly and cross-faded, titles scrolled, the indicator counted to 100"
