#!/usr/bin/env bash
# The part of the photo drag test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
cache=$4
droptarget=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"
target_pid=
stop_target() { [[ -n "$target_pid" ]] && kill "$target_pid" 2>/dev/null; }
extra_cleanup=stop_target

album=$work/home/Pictures/Album
mkdir -p "$album"
mapfile -t sources < <(find "$cache" -iname '*.jpg' -size +100k -size -3M | sort |
  while read -r f; do identify "$f" >/dev/null 2>&1 && echo "$f"; done | head -n 4)
[[ ${#sources[@]} -ge 4 ]] || fail "too few test images in $cache"
for i in 0 1 2 3; do cp "${sources[$i]}" "$album/photo$i.jpg" || fail "cannot copy"; done
# Opening a photo runs no wizard.
printf '[Editor]\nAutoWizard=dword:00000000\n' > "$work/config/Tessera/settings.ini"
write_config "$album/"

# Another program's window left of the program's (which is 1280 wide in the
# middle of the 1600-pixel screen).
"$droptarget" 0 400 150 150 > "$work/target" 2>&1 &
target_pid=$!

open_program
wait_for '^[-0-9]* Album Init OK' 60 || fail "the album did not start"
read -r px py pw ph <<< "$(sed -n 's/^[-0-9]* Album page at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\),.*/\1 \2 \3 \4/p' "$log" | head -n 1)"
[[ -n "$ph" ]] || fail "the album page did not say where it is"
wait_for "Album listed 5 items of $album/.\{0,1\}$" 30 || fail "the album folder was not listed"
grep -q '^ready' "$work/target" || fail "the drop target did not open: $(cat "$work/target")"
sleep 2
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
# The thumbnail grid (view 3): ".." then photo0..photo3 in cells 110 wide;
# a photo's check box is its cell's top left corner.
gx=$((px + 300))
gy=$((py + 71))
cell() { echo $((gx + 165 + 110 * $1)); }
box() { echo $((gx + 119 + 110 * $1)); }

# The photos on the clipboard after Ctrl+C, as "photo1 photo3".
copied() {
  timeout 10 xdotool key --window "$window" ctrl+c
  sleep 0.5
  timeout 10 xclip -selection clipboard -t text/uri-list -o 2>/dev/null | tr -d '\r' |
    sed -n 's|^file://.*/\(photo[0-3]\)\.jpg$|\1|p' | sort | tr '\n' ' ' | sed 's/ $//'
}
# Presses at a point of the window and moves there in steps of a person's
# hand (a warp straight to the end would bring one far move only); the
# last point may be given on the screen.
press_and_move() {
  local x=$1 y=$2 tx=$3 ty=$4 steps=12
  timeout 10 xdotool mousemove --window "$window" "$x" "$y" mousedown 1
  sleep 0.2
  for i in $(seq 1 $steps); do
    timeout 10 xdotool mousemove $((X + x + (tx - x) * i / steps)) $((Y + y + (ty - y) * i / steps))
    sleep 0.05
  done
  sleep 0.3
}

# Two check boxes tick two photos, without touching the others.
click_at "$(box 1)" $((gy + 9))
sleep 0.3
click_at "$(box 3)" $((gy + 9))
sleep 0.5
[[ $(copied) == "photo1 photo3" ]] || fail "the ticked photos are not photo1 and photo3: $(copied)"
click_at "$(box 3)" $((gy + 9))
sleep 0.5
[[ $(copied) == "photo1" ]] || fail "the second tick did not take photo3 out"

# A rubber band from the empty space below the grid over photo1 and photo2:
# across first (a press that starts upright scrolls).
press_and_move $((gx + 420)) $((gy + 300)) $((gx + 340)) $((gy + 300))
for i in $(seq 1 10); do
  timeout 10 xdotool mousemove --window "$window" $((gx + 340 - 9 * i)) $((gy + 300 - 26 * i))
  sleep 0.05
done
timeout 10 xdotool mouseup 1
sleep 0.5
[[ $(copied) == "photo1 photo2" ]] || fail "the rubber band selected $(copied), not photo1 and photo2"

# Both dragged onto the tab strip's empty part open in edit pages.
press_and_move "$(cell 1)" $((gy + 60)) 600 52
timeout 10 xdotool mouseup 1
wait_for "Album dragged 2 files to 600 52, taken 1" 10 || fail "the drag did not reach the tab strip"
# The recovery index counts the open pages in its first two bytes.
pages=0
for _ in $(seq 1 100); do
  index=$(find "$work/tmp" -name 'BFStatus*.flg' | head -n 1)
  [[ -n "$index" ]] && pages=$(od -An -tu2 -N2 "$index" | tr -d ' ')
  [[ "$pages" == 2 ]] && break
  sleep 0.2
done
[[ "$pages" == 2 ]] || fail "the drop opened $pages pages, not 2"

# Back on the album's tab, photo0 alone dragged out of the window onto the
# other program's window: Escape there takes it back; the second time it
# arrives there as its path.
click_at 200 52
sleep 1
click_at "$(cell 0)" $((gy + 60))
sleep 0.5
press_and_move "$(cell 0)" $((gy + 60)) $((75 - X)) $((475 - Y))
timeout 10 xdotool key Escape
sleep 0.3
timeout 10 xdotool mouseup 1
wait_for "Album dragged 1 files out of the window" 10 || fail "the release outside the window did not end the drag"
sleep 1
grep -q '^file ' "$work/target" && fail "a drag left with Escape was dropped: $(cat "$work/target")"
press_and_move "$(cell 0)" $((gy + 60)) $((75 - X)) $((475 - Y))
timeout 10 xdotool mouseup 1
wait_count "Album dragged 1 files out of the window" 2 10 || fail "the second drag out did not end"
for _ in $(seq 1 50); do grep -q '^complete' "$work/target" && break; sleep 0.1; done
[[ $(grep -c '^file ' "$work/target") == 1 ]] && grep -qx "file $album/photo0.jpg" "$work/target" ||
  fail "the other program's window got: $(cat "$work/target")"

close_program
echo "check boxes and a rubber band selected photos, two dragged onto the tab strip opened, and one dragged onto another program's window arrived as its path"
