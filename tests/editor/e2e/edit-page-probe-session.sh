#!/usr/bin/env bash
# The part of the edit page test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/edit-probe-lib.sh"
shots=${TESSERA_EDIT_SHOTS:-}

# Two display pictures of the view show the same photo: the history and the
# page-out file keep pixels with 12 bits of luminance, so a picture that
# comes back from them may differ from the first by a rounding, never more.
close_to() {
  local differing
  differing=$(compare -metric AE -fuzz 2% -size "${iw}x${ih}" -depth 8 "rgb:$1" "rgb:$2" null: 2>&1)
  [[ "$differing" == 0 ]]
}

open_edit_probe "$photo"

page_state
[[ $current -eq 1 && $step -eq 0 ]] || fail "the photo's page is not current at its first step"
[[ $sl -eq 0 && $st -eq 0 ]] || fail "the photo is not shown from its corner"
same_as_display "fitted"
shot fitted
fit=$zoom

# The wheel zooms in around the pointer.
cx=$((ix + iw / 2))
cy=$((iy + ih / 2))
timeout 10 xdotool mousemove --window "$window" "$cx" "$cy"
for _ in 1 2 3; do
  timeout 10 xdotool click --window "$window" 4
  sleep 0.3
done
page_state
awk -v a="$zoom" -v b="$fit" 'BEGIN { exit !(a > b) }' || fail "the wheel did not zoom in ($fit to $zoom)"
same_as_display "zoomed"
shot zoomed

# A drag pans by the dragged distance.
l0=$sl
t0=$st
mx=$((ix + iw / 2))
my=$((iy + ih / 2))
drag "$mx" "$my" $((mx - 100)) $((my - 60))
page_state
dx=$(awk -v z="$zoom" 'BEGIN { printf "%d", 100 / z }')
dy=$(awk -v z="$zoom" 'BEGIN { printf "%d", 60 / z }')
[[ $((sl - l0)) -ge $((dx - 2)) && $((sl - l0)) -le $((dx + 2)) && $((st - t0)) -ge $((dy - 2)) &&
   $((st - t0)) -le $((dy + 2)) ]] || fail "a drag of 100 x 60 moved the view by $((sl - l0)) x $((st - t0))"
same_as_display "dragged"

# With Space held a drag pans as well.
l0=$sl
t0=$st
mx=$((ix + iw / 2))
my=$((iy + ih / 2))
timeout 10 xdotool keydown --window "$window" space
drag "$mx" "$my" $((mx + 80)) $((my + 40))
timeout 10 xdotool keyup --window "$window" space
page_state
[[ $((l0 - sl)) -ge $((dx * 4 / 5 - 2)) && $((t0 - st)) -ge $((dy * 2 / 3 - 2)) ]] ||
  fail "a drag with Space moved the view by $((sl - l0)) x $((st - t0))"
same_as_display "space-dragged"
cp "$work/dump.rgb" "$work/before-edit.rgb"
view="$sl $st $sr $sb $zoom"

# An edit, undone with Ctrl+Z and redone with Ctrl+Y.
timeout 10 xdotool key --window "$window" F9
wait_for '^edited$' || fail "the edit was not recorded"
page_state
[[ $step -eq 1 ]] || fail "the edit is not step 1"
close_to "$work/dump.rgb" "$work/before-edit.rgb" && fail "the edit does not show"
same_as_display "edited"
cp "$work/dump.rgb" "$work/edited.rgb"
timeout 10 xdotool key --window "$window" ctrl+z
page_state
[[ $step -eq 0 ]] || fail "Ctrl+Z left step $step"
close_to "$work/dump.rgb" "$work/before-edit.rgb" || fail "Ctrl+Z did not bring the picture back"
same_as_display "undone"
sleep 0.2
timeout 10 xdotool key --window "$window" ctrl+y
page_state
[[ $step -eq 1 ]] || fail "Ctrl+Y left step $step"
close_to "$work/dump.rgb" "$work/edited.rgb" || fail "Ctrl+Y did not bring the edit back"
same_as_display "redone"
cp "$work/dump.rgb" "$work/redone.rgb"
shot redone

# The album's tab and back: the page comes back as it was.
timeout 10 xdotool mousemove --window "$window" "$ax" "$ay" click 1
sleep 1
page_state
[[ $current -eq 0 && "$dumped" == nodump ]] || fail "the album's title did not swap the photo's page out"
timeout 10 xdotool mousemove --window "$window" "$px" "$py" click 1
sleep 1
timeout 10 xdotool mousemove --window "$window" "$cx" "$cy"
page_state
[[ $current -eq 1 ]] || fail "the photo's title did not bring its page back"
[[ "$sl $st $sr $sb $zoom" == "$view" ]] || fail "the view came back as $sl $st $sr $sb $zoom, not $view"
close_to "$work/dump.rgb" "$work/redone.rgb" || fail "the photo came back changed"
same_as_display "back"

close_edit_probe
grep -q '^init 1$' "$log" || fail "the start did not run the window"
grep -q '^engine joined 1$' "$log" || fail "the algorithm engine's threads did not join"
echo "edit page: the photo opened, zoomed by the wheel, panned by drags with and without Space, undone and redone, and came back from the album's tab as it was; every capture equal to the display picture"
