#!/usr/bin/env bash
# The part of the crop flow test that runs inside the virtual X server.
set -u
probe=$1
source=$2
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
wait_for() {
  local tries=$((${2:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}
# Presses a key of the driver and waits for the line it writes.
ask() {
  local before
  before=$(grep -c "^$2" "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" "$1"
  for _ in $(seq 1 100); do
    [[ $(grep -c "^$2" "$log") -gt $before ]] && return 0
    sleep 0.1
  done
  fail "no '$2' line after $1"
}
# F8: the view and the display picture; F6: the crop tool's state.
state() {
  ask F8 state
  read -r _ dumped _ zoom _ sl st sr sb _ ix iy iw ih _ step _ current _ < <(grep '^state' "$log" | tail -n 1)
  ask F6 crop
  read -r _ _ bx by _ okx oky _ width height _ cstep _ tool < <(grep '^crop' "$log" | tail -n 1)
}
# The capture equals the display picture but for the selection's ants,
# which are made white on both.
same_as_display() {
  [[ "$dumped" == dumped ]] || fail "$1: no display picture to compare"
  timeout 20 import -window "$window" -crop "${iw}x${ih}+${ix}+${iy}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  local f
  for f in dump screen; do
    if [[ -f "$work/dump.rgb.outline" ]]; then
      convert -size "${iw}x${ih}" -depth 8 "rgb:$work/$f.rgb" \( -size "${iw}x${ih}" -depth 8 \
        "gray:$work/dump.rgb.outline" -fill white +opaque black \) -compose Lighten -composite -depth 8 \
        "rgb:$work/$f.seen.rgb" || fail "cannot leave the ants out"
    else
      cp "$work/$f.rgb" "$work/$f.seen.rgb"
    fi
  done
  cmp -s "$work/dump.seen.rgb" "$work/screen.seen.rgb" ||
    fail "$1: the capture of the picture differs from the display picture"
}
# F4: the current tool and the step into tool and tstep; the line into line.
strip() {
  ask F4 strip
  line=$(grep '^strip' "$log" | tail -n 1)
  read -r _ _ tool _ _ _ tstep _ <<< "$line"
}
# The window centre of a tool button into px, py.
button_at() {
  local rest=${line#*buttons} words i
  read -r -a words <<< "${rest%%options*}"
  for ((i = 0; i + 2 < ${#words[@]}; i += 3)); do
    if [[ ${words[i]} == "$1" ]]; then
      px=${words[i + 1]}
      py=${words[i + 2]}
      return 0
    fi
  done
  fail "no tool button $1 in: $line"
}
# The pointer rests on the canvas beside the picture, where a brush's mark
# does not cover it.
park() {
  timeout 10 xdotool mousemove --window "$window" $((ix - 100)) $((iy + ih / 2))
  sleep 0.3
}
drag() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  timeout 10 xdotool mousedown 1
  sleep 0.2
  timeout 10 xdotool mousemove --window "$window" $((($1 + $3) / 2)) $((($2 + $4) / 2))
  sleep 0.1
  timeout 10 xdotool mousemove --window "$window" "$3" "$4"
  sleep 0.2
  timeout 10 xdotool mouseup 1
  sleep 0.3
}
# With TESSERA_EDIT_SHOTS set, keeps a capture of the window under that name.
shot() {
  [[ -n "${TESSERA_EDIT_SHOTS:-}" ]] || return 0
  mkdir -p "$TESSERA_EDIT_SHOTS"
  timeout 20 import -window "$window" "$TESSERA_EDIT_SHOTS/$1.png"
}
click_at() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  timeout 10 xdotool click 1
  sleep 0.5
}
# Chooses the crop tool and draws a rectangle over the middle of the picture
# from a quarter in to a quarter short of (or the fractions given, in tenths).
draw_crop() {
  click_at "$bx" "$by"
  state
  [[ $tool -eq 1 ]] || fail "the crop tool's button did not make it current"
  drag $((ix + iw * $1 / 10)) $((iy + ih * $1 / 10)) $((ix + iw * $2 / 10)) $((iy + ih * $2 / 10))
  state
}

mkdir -p "$work/home/Pictures" "$work/config" "$work/etc" "$work/tmp"
cp "$photo" "$work/home/Pictures/photo.jpg" || fail "cannot copy the photo"
touch "$log"
HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
  "$probe" "$log" "$work/dump.rgb" - > "$work/output" 2>&1 &
pid=$!
wait_for '^ready' 120 || fail "the window did not start"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tessera$' | head -n 1)
[[ -n "$window" ]] || fail "no window named 'Tessera'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"

# The photo dropped on the tab strip opens in an edit page.
timeout 10 xdotool mousemove --window "$window" 1200 56
sleep 0.3
timeout 20 "$source" $((X + 1200)) $((Y + 56)) "$work/home/Pictures/photo.jpg" || fail "the drop was not taken"
sleep 1.5
state
[[ $current -eq 1 && $cstep -eq 0 ]] || fail "the dropped photo's page is not current at its first step"
same_as_display "dropped"
sizes=("$width $height")
cp "$work/dump.rgb" "$work/dropped.rgb"

# A free-paint stroke across the picture: one step.
strip
button_at 16
click_at "$px" "$py"
strip
[[ $tool -eq 16 ]] || fail "the free paint button made tool $tool current"
y=$((iy + ih / 2))
timeout 10 xdotool mousemove --window "$window" $((ix + iw / 5)) "$y"
sleep 0.3
timeout 10 xdotool mousedown 1
for x in $(seq $((ix + iw / 5)) 10 $((ix + iw * 4 / 5))); do
  timeout 10 xdotool mousemove --window "$window" "$x" $((y + (x - ix) / 10 % 7))
  sleep 0.03
done
timeout 10 xdotool mouseup 1
sleep 0.5
park
state
[[ $cstep -eq 1 ]] || fail "the stroke left step $cstep"
cmp -s "$work/dump.rgb" "$work/dropped.rgb" && fail "the stroke does not show"
same_as_display "painted"
sizes+=("$width $height")

# A rectangle selection over the middle: the ants show, no step.
strip
button_at 2
click_at "$px" "$py"
strip
[[ $tool -eq 2 ]] || fail "the rectangle selection button made tool $tool current"
drag $((ix + iw * 3 / 10)) $((iy + ih * 3 / 10)) $((ix + iw * 7 / 10)) $((iy + ih * 7 / 10))
park
state
[[ -f "$work/dump.rgb.outline" ]] || fail "the rectangle made no selection"
[[ $cstep -eq 1 ]] || fail "the selection left step $cstep"
same_as_display "selected"
shot selected

# A crop dragged and applied with its OK button.
draw_crop 2 8
[[ $okx -ge 0 ]] || fail "no OK button on the crop rectangle"
shot rectangle
click_at "$okx" "$oky"
state
[[ $tool -eq 0 && $cstep -eq 2 ]] || fail "OK left tool $tool at step $cstep"
[[ $width -lt ${sizes[0]% *} ]] || fail "the crop did not make the photo smaller ($width x $height)"
same_as_display "cropped with OK"
shot cropped
sizes+=("$width $height")

# A second crop applied with a double click inside it.
draw_crop 1 6
timeout 10 xdotool mousemove --window "$window" $((ix + iw * 3 / 10)) $((iy + ih * 3 / 10))
sleep 0.3
timeout 10 xdotool click --repeat 2 --delay 80 1
sleep 0.5
state
[[ $tool -eq 0 && $cstep -eq 3 ]] || fail "the double click left tool $tool at step $cstep"
same_as_display "cropped by a double click"
sizes+=("$width $height")

# Ctrl+Z twice, Ctrl+Y twice: each size comes back.
for expected in 2 1; do
  timeout 10 xdotool key --window "$window" ctrl+z
  state
  [[ $cstep -eq $expected && "$width $height" == "${sizes[$expected]}" ]] ||
    fail "Ctrl+Z gave step $cstep at $width x $height, not ${sizes[$expected]}"
  same_as_display "undone to step $expected"
done
for expected in 2 3; do
  timeout 10 xdotool key --window "$window" ctrl+y
  state
  [[ $cstep -eq $expected && "$width $height" == "${sizes[$expected]}" ]] ||
    fail "Ctrl+Y gave step $cstep at $width x $height, not ${sizes[$expected]}"
  same_as_display "redone to step $expected"
done

# Closed by the frame's close button: Yes to closing, No to saving.
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
echo "crop flow: a dropped photo painted with a free-paint stroke, a rectangle selected, cropped with OK and by a double click (${sizes[*]}), undone and redone twice; every capture equal to the display picture"
