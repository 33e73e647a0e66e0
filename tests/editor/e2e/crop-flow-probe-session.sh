#!/usr/bin/env bash
# The part of the crop flow test that runs inside the virtual X server.
set -u
probe=$1
source=$2
photo=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/edit-probe-lib.sh"
shots=${TESSERA_EDIT_SHOTS:-}

# F8: the view and the display picture; F6: the crop tool's state.
state() {
  page_state
  ask F6 '^crop'
  read -r _ _ bx by _ okx oky _ width height _ cstep _ tool <<< "$answer"
}
# F4: the current tool and the step into tool and tstep; the line into line.
strip() {
  ask F4 '^strip'
  line=$answer
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
# Chooses the crop tool and draws a rectangle over the middle of the picture
# from a quarter in to a quarter short of (or the fractions given, in tenths).
draw_crop() {
  click_at "$bx" "$by"
  state
  [[ $tool -eq 1 ]] || fail "the crop tool's button did not make it current"
  drag $((ix + iw * $1 / 10)) $((iy + ih * $1 / 10)) $((ix + iw * $2 / 10)) $((iy + ih * $2 / 10))
  state
}

cp "$photo" "$work/home/Pictures/photo.jpg" || fail "cannot copy the photo"
open_edit_probe -

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

close_edit_probe
echo "crop flow: a dropped photo painted with a free-paint stroke, a rectangle selected, cropped with OK and by a double click (${sizes[*]}), undone and redone twice; every capture equal to the display picture"
