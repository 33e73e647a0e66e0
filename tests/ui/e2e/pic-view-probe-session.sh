#!/usr/bin/env bash
# The part of the picture view test that runs inside the virtual X server.
set -u
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/find-window.sh"
probe=$1
dpi=$2
photo=$3
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
  for _ in $(seq 1 150); do
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
# The image point under a window point, as the page logs it on a move.
point_under() {
  local before
  before=$(count 'pointer ')
  move "$(($1 + 1))" "$2"
  move "$1" "$2"
  wait_count 'pointer ' $((before + 2)) || fail "no pointer line for $1 $2"
  last 'pointer ' | cut -d' ' -f4-5
}
# The state line's fields: zoom, visible rectangle, centre image point,
# displayed centre and label centre (window pixels).
state() {
  read -r _ zoom vl vt vr vb _ cx cy _ sx sy _ lx ly <<<"$(last 'state ')"
}
wait_state_change() {
  local before=$1
  for _ in $(seq 1 100); do
    [[ $(count 'state ') -gt $before ]] && { sleep 0.2; state; return 0; }
    sleep 0.1
  done
  return 1
}
near() { local d=$(($1 - $2)); [[ ${d#-} -le $3 ]]; }

if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" "$photo" &
pid=$!
wait_for 'ready' || fail "the window did not open"
find_window 'Tessera picture view probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera picture view probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for 'activate 1$' || fail "no activation"
wait_for 'state ' || fail "the view showed no photo"
sleep 0.3
state
fit=$zoom
awk -v z="$zoom" 'BEGIN { exit !(z > 0 && z < 1) }' || fail "the photo is not fitted: zoom $zoom"

# The wheel at the pointer: one step in, and the view centred on the image
# point that was under the pointer.
px=$((sx - 20))
py=$((sy - 12))
read -r ix iy <<<"$(point_under "$px" "$py")"
states=$(count 'state ')
timeout 10 xdotool click --window "$window" 4
wait_state_change "$states" || fail "the wheel changed nothing"
lines 'note 0 ' >/dev/null || fail "no change note"
awk -v a="$fit" -v b="$zoom" 'BEGIN { exit !(b > a) }' || fail "the wheel did not zoom in: $fit to $zoom"
tolerance=$(awk -v z="$zoom" 'BEGIN { print int(2 / z) + 1 }')
near "$cx" "$ix" "$tolerance" && near "$cy" "$iy" "$tolerance" ||
  fail "the point under the pointer ($ix, $iy) is not at the centre ($cx, $cy) at zoom $zoom"
echo "wheel: zoom $fit -> $zoom, image point ($ix, $iy) under the pointer now at the centre ($cx, $cy)"

# A drag pans: the grabbed image point stays under the pointer.
ax=$((sx + 40)); ay=$((sy + 30))
read -r gx gy <<<"$(point_under "$ax" "$ay")"
bx=$((ax - 40)); by=$((ay - 25))
timeout 10 xdotool mousedown --window "$window" 1
for step in 1 2 3 4; do
  move $((ax - 10 * step)) $((ay - 25 * step / 4))
  sleep 0.05
done
move "$bx" "$by"
sleep 0.1
timeout 10 xdotool mouseup --window "$window" 1
wait_for 'note 10 ' || fail "the drag did not end as a drag"
read -r hx hy <<<"$(point_under "$bx" "$by")"
near "$hx" "$gx" 1 && near "$hy" "$gy" 1 ||
  fail "the grabbed point ($gx, $gy) is not under the pointer after the drag ($hx, $hy)"
state
echo "drag: ($gx, $gy) followed the pointer; visible now $vl $vt $vr $vb"

# The zoom label opens the zoom menu; its 100% row gives real size.
states=$(count 'state ')
timeout 10 xdotool mousemove --window "$window" "$lx" "$ly" click 1
wait_for 'row 5 ' || fail "the zoom label opened no menu"
read -r _ _ rx ry <<<"$(last 'row 5 ')"
sleep 0.3
timeout 10 xdotool mousemove --window "$window" "$rx" "$ry" click 1
for _ in $(seq 1 50); do
  state
  [[ "$zoom" == 1 ]] && break
  sleep 0.1
done
[[ "$zoom" == 1 ]] || fail "100% in the menu gave zoom $zoom"
echo "menu: 100% gave zoom $zoom, visible $vl $vt $vr $vb"

timeout 10 xdotool key q
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
lines 'exit 0$' >/dev/null || fail "no clean exit"
echo "picture view probe at $dpi dpi: wheel zoom at the pointer, drag panning and the zoom menu's 100%"
