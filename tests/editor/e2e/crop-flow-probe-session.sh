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

# A crop dragged and applied with its OK button.
draw_crop 2 8
[[ $okx -ge 0 ]] || fail "no OK button on the crop rectangle"
shot rectangle
click_at "$okx" "$oky"
state
[[ $tool -eq 0 && $cstep -eq 1 ]] || fail "OK left tool $tool at step $cstep"
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
[[ $tool -eq 0 && $cstep -eq 2 ]] || fail "the double click left tool $tool at step $cstep"
same_as_display "cropped by a double click"
sizes+=("$width $height")

# Ctrl+Z twice, Ctrl+Y twice: each size comes back.
for expected in 1 0; do
  timeout 10 xdotool key --window "$window" ctrl+z
  state
  [[ $cstep -eq $expected && "$width $height" == "${sizes[$expected]}" ]] ||
    fail "Ctrl+Z gave step $cstep at $width x $height, not ${sizes[$expected]}"
  same_as_display "undone to step $expected"
done
for expected in 1 2; do
  timeout 10 xdotool key --window "$window" ctrl+y
  state
  [[ $cstep -eq $expected && "$width $height" == "${sizes[$expected]}" ]] ||
    fail "Ctrl+Y gave step $cstep at $width x $height, not ${sizes[$expected]}"
  same_as_display "redone to step $expected"
done

close_edit_probe
echo "crop flow: a dropped photo cropped with OK and by a double click (${sizes[*]}), undone and redone twice; every capture equal to the display picture"
