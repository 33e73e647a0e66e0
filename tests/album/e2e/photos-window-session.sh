#!/usr/bin/env bash
# The part of the photos test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
cache=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"

album=$work/home/Pictures/Album
mkdir -p "$album"
mapfile -t sources < <(find "$cache" -iname '*.jpg' -size +100k -size -3M | sort |
  while read -r f; do identify "$f" >/dev/null 2>&1 && echo "$f"; done | head -n 4)
[[ ${#sources[@]} -ge 4 ]] || fail "too few test images in $cache"
for i in 0 1 2 3; do cp "${sources[$i]}" "$album/photo$i.jpg" || fail "cannot copy"; done
write_config "$album/"

open_program
wait_for '^[-0-9]* Album Init OK' 60 || fail "the album did not start"
read -r px py pw ph <<< "$(sed -n 's/^[-0-9]* Album page at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\),.*/\1 \2 \3 \4/p' "$log" | head -n 1)"
[[ -n "$ph" ]] || fail "the album page did not say where it is"
wait_for "Album listed 5 items of $album/.\{0,1\}$" 30 || fail "the album folder was not listed"
sleep 2
gx=$((px + 300))
gy=$((py + 71))

# Ctrl+A, Ctrl+C: the four photos as a uri-list on the clipboard.
timeout 10 xdotool mousemove --window "$window" $((gx + 600)) $((gy + 500)) click 1
sleep 0.3
timeout 10 xdotool key --window "$window" ctrl+a ctrl+c
sleep 1
listed=$(timeout 10 xclip -selection clipboard -t text/uri-list -o 2>/dev/null | tr -d '\r' | grep -c "^file://.*/photo[0-3].jpg$")
[[ "$listed" == 4 ]] || fail "the clipboard lists $listed photos"

# A double click on the first photo (after "..") shows it full-page.
timeout 10 xdotool mousemove --window "$window" $((gx + 165)) $((gy + 60)) click --repeat 2 --delay 80 1
wait_for "Album preview opened on 0 of 4" 10 || fail "a double click did not open the preview"
sleep 0.5
cx=$((px + pw / 2))
cy=$((py + ph / 2))
timeout 10 xdotool mousemove --window "$window" "$cx" "$cy" click 4
wait_for "Album preview zoom" 5 || fail "the wheel did not zoom"
sleep 0.3
timeout 10 xdotool click 4
sleep 0.3
timeout 10 xdotool mousemove --window "$window" $((cx + 2)) "$cy" mousedown 1 mousemove --window "$window" $((cx - 60)) "$cy" mousemove --window "$window" $((cx - 120)) "$cy" mouseup 1
wait_for "Album preview panned to" 5 || fail "dragging did not pan"
timeout 10 xdotool key --window "$window" Right
wait_for "Album preview shows 1" 5 || fail "Right did not step"
timeout 10 xdotool key --window "$window" Left
wait_for "Album preview shows 0" 5 || fail "Left did not step back"
# Esc during the step's cross-fade can be taken by it: pressed again until closed.
for _ in 1 2 3; do
  sleep 0.5
  timeout 10 xdotool key --window "$window" Escape
  wait_for "Album preview closed" 5 && break
done
grep -q "Album preview closed" "$log" || fail "Esc did not close"
sleep 0.5

close_program
echo "Ctrl+C listed the photos for xclip, and the preview zoomed, panned, stepped and closed"
