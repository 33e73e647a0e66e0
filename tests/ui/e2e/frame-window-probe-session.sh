#!/usr/bin/env bash
# The part of the frame test that runs inside the virtual X server.
set -u
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/find-window.sh"
probe=$1
dpi=$2
work=$(mktemp -d)
log=$work/log
pid=
wm=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  [[ -n "$wm" ]] && kill "$wm" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe log:"
  cat "$log"
  exit 1
}

# Waits up to 10 s for a line of a file that matches.
wait_in() {
  for _ in $(seq 1 100); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  grep -q "$2" "$1"
}
wait_for() { wait_in "$log" "$1"; }
# Waits up to 10 s for the last size event of the log to match.
wait_size() {
  for _ in $(seq 1 100); do
    grep '^size' "$log" | tail -n 1 | grep -q "$1" && return 0
    sleep 0.1
  done
  return 1
}
shot() {
  [[ -n "${TESSERA_FRAME_SHOTS:-}" ]] || return 0
  mkdir -p "$TESSERA_FRAME_SHOTS"
  timeout 20 import -window root "$TESSERA_FRAME_SHOTS/$dpi-$1.png"
}

"$probe" --window-manager "$work/wm" &
wm=$!
wait_in "$work/wm" '^wm ready' || fail "the window manager did not start"
if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" &
pid=$!
wait_for '^ready' || fail "the window did not open"
read -r _ _ _ scale < <(grep '^ready' "$log")
find_window '^Tessera frame probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera frame probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for '^activate 1$' || fail "no activation"

# Physical pixels of a logical length, and the window's place on the screen.
s() { awk -v v="$1" -v s="$scale" 'BEGIN { print int(v * s) }'; }
geometry() { eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"; }
near() { (( $1 - $2 <= 2 && $2 - $1 <= 2 )); }
# Presses at a screen point, moves by (dx, dy) in steps and releases.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 steps=6
  timeout 10 xdotool mousemove "$x" "$y" mousedown 1
  for i in $(seq 1 $steps); do
    timeout 10 xdotool mousemove $((x + dx * i / steps)) $((y + dy * i / steps))
    sleep 0.05
  done
  timeout 10 xdotool mouseup 1
  sleep 0.4
}
title_x=$(s 400)
title_y=$(s 20)
double_click_title() {
  geometry
  timeout 10 xdotool mousemove $((X + title_x)) $((Y + title_y)) click --repeat 2 --delay 120 1
}

geometry
x0=$X y0=$Y w0=$WIDTH h0=$HEIGHT
shot restored
drag $((X + title_x)) $((Y + title_y)) 120 60
geometry
near "$X" $((x0 + 120)) && near "$Y" $((y0 + 60)) ||
  fail "dragged by the title from $x0,$y0 by 120,60 the window is at $X,$Y"
[[ $WIDTH -eq $w0 && $HEIGHT -eq $h0 ]] || fail "moving changed the size to ${WIDTH}x$HEIGHT"

drag $((X + WIDTH - 2)) $((Y + HEIGHT / 2)) 150 0
geometry
near "$WIDTH" $((w0 + 150)) || fail "the right edge dragged by 150 gives width $WIDTH"
drag $((X + WIDTH / 2)) $((Y + HEIGHT - 2)) 0 100
geometry
near "$HEIGHT" $((h0 + 100)) || fail "the bottom edge dragged by 100 gives height $HEIGHT"
drag $((X + WIDTH - 2)) $((Y + HEIGHT / 2)) -600 0
geometry
[[ $WIDTH -eq 981 ]] || fail "the right edge dragged far left gives width $WIDTH, not the minimum 981"
shot sized

geometry
before="$X $Y $WIDTH $HEIGHT"
double_click_title
wait_size 'maximized 1' || fail "a double click on the title did not maximise"
sleep 0.3
geometry
[[ "$X $Y $WIDTH $HEIGHT" == "0 0 1600 1200" ]] || fail "maximised, the window is at $X $Y ${WIDTH}x$HEIGHT"
shot maximized
double_click_title
wait_size 'maximized 0' || fail "a double click on the title did not restore"
sleep 0.3
geometry
[[ "$X $Y $WIDTH $HEIGHT" == "$before" ]] || fail "restored to $X $Y ${WIDTH}x$HEIGHT, not $before"

# Maximised by the window manager: the frame follows, so one double click
# restores.
"$probe" --wm-state "$window" add || fail "could not ask the window manager"
wait_size 'maximized 1' || fail "the window manager's maximising was not followed"
sleep 0.3
double_click_title
wait_size 'maximized 0' || fail "after the window manager maximised, a double click did not restore"
sleep 0.3
geometry
[[ "$X $Y $WIDTH $HEIGHT" == "$before" ]] || fail "restored to $X $Y ${WIDTH}x$HEIGHT, not $before"

# Hovering a panel item shows its tip; the close button closes the window.
timeout 10 xdotool mousemove --window "$window" "$(s 60)" "$(s 80)"
sleep 1
shot tooltip
lw=$(awk -v p="$WIDTH" -v s="$scale" 'BEGIN { print int(p / s) }')
timeout 10 xdotool mousemove --window "$window" "$(s $((lw - 12)))" "$(s 12)" click 1
wait "$pid"
rc=$?
pid=
[[ $rc -eq 2 ]] || fail "closed by its close button the probe ended with $rc, not 2"
grep -qx 'close' "$log" || fail "no close"
grep -qx 'exit 2' "$log" || fail "no clean exit"
echo "frame probe at $dpi dpi: moved, sized, maximised, restored and closed"
