#!/usr/bin/env bash
# The part of the photo property test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
cache=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"

album=$work/home/Pictures/Album
mkdir -p "$album"
photo=$album/rocket.jpg
cp "$cache/usr/lib/python3/dist-packages/skimage/data/rocket.jpg" "$photo" || fail "cannot copy the photo"
profile=$(exiftool -s -s -s -ICC_Profile:ProfileDescription "$photo")
write_config "$album/"

open_program
wait_for '^[-0-9]* Album Init OK' 60 || fail "the album did not start"
read -r px py pw ph <<< "$(sed -n 's/^[-0-9]* Album page at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\),.*/\1 \2 \3 \4/p' "$log" | head -n 1)"
[[ -n "$ph" ]] || fail "the album page did not say where it is"
wait_for "Album listed 2 items of $album/.\{0,1\}$" 30 || fail "the album folder was not listed"
sleep 2
# The photo's cell follows "..": a right press there selects it and opens
# the menu; from its end, Up three times reaches Properties (after it come
# Tags, New folder and Refresh).
gx=$((px + 300))
gy=$((py + 71))
timeout 10 xdotool mousemove --window "$window" $((gx + 165)) $((gy + 60)) click 3
sleep 0.8
[[ -n "${TESSERA_PROPERTY_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_PROPERTY_SHOT.menu.png"
for key in End Up Up Up Return; do
  timeout 5 xdotool key --window "$window" "$key"
  sleep 0.2
done
wait_for "Photo properties at .*, artist row [-0-9]" 10 || fail "Properties did not open the dialog"
read -r dx dy dw dh row <<< "$(sed -n 's/^[-0-9]* Photo properties at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\), artist row \([-0-9]*\).*$/\1 \2 \3 \4 \5/p' "$log" | tail -n 1)"
[[ ${row:--1} -ge 0 ]] || fail "the dialog shows no artist row"
sleep 1
[[ -n "${TESSERA_PROPERTY_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_PROPERTY_SHOT.view.png"
# Button 1 (Edit, then OK) lies at 128, 280 dialog units: 192, 485 pixels.
okx=$((dx + 192 + 37))
oky=$((dy + 485 + 11))
timeout 10 xdotool mousemove --window "$window" "$okx" "$oky" click 1
sleep 0.5
# The artist's value: right of the 200-pixel label column of the list at 10, 40.
timeout 10 xdotool mousemove --window "$window" $((dx + 10 + 260)) $((dy + 40 + row * 20 + 10)) click 1
sleep 0.5
timeout 10 xdotool type --window "$window" --delay 40 "Jane Roe"
sleep 0.5
[[ -n "${TESSERA_PROPERTY_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_PROPERTY_SHOT"
timeout 10 xdotool mousemove --window "$window" "$okx" "$oky" click 1
wait_for "Photo properties written" 10 || fail "OK did not write the photo"
sleep 0.5
artist=$(exiftool -s -s -s -IFD0:Artist "$photo")
[[ "$artist" == "Jane Roe" ]] || fail "exiftool reads the artist \"$artist\""
[[ "$(exiftool -s -s -s -ICC_Profile:ProfileDescription "$photo")" == "$profile" ]] || fail "the colour profile changed"
[[ "$(exiftool -s -s -s -n -ExifIFD:ColorSpace "$photo")" != "1" ]] || fail "the photo was relabelled sRGB"
close_program
echo "Properties on a photo, Edit, a new artist and OK: exiftool reads \"$artist\" and the profile is still $profile"
