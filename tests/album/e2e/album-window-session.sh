#!/usr/bin/env bash
# The part of the album test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
cache=$4
probe=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"

# The album folder: 300 photos named three ways, two sub-folders, a dot
# file, a text file and a damaged JPEG.
album=$work/home/Pictures/Album
mkdir -p "$album/Trip" "$album/Zoo" "$album/.git"
mapfile -t sources < <(find "$cache" \( -iname '*.jpg' -o -iname '*.png' \) -size +20k -size -3M | sort |
  while read -r f; do identify "$f" >/dev/null 2>&1 && echo "$f"; done | head -n 40)
[[ ${#sources[@]} -ge 10 ]] || fail "too few test images in $cache"
for i in $(seq 0 299); do
  src=${sources[$((i % ${#sources[@]}))]}
  ext=${src##*.}
  case $((i % 3)) in
    0) name=$(printf 'IMG_%04d.%s' "$i" "$ext") ;;
    1) name=$(printf 'holiday %03d.%s' "$i" "${ext^^}") ;;
    2) name=$(printf 'p-%d.%s' "$i" "$ext") ;;
  esac
  cp "$src" "$album/$name" || fail "cannot copy $src"
done
for i in 1 2 3 4 5; do cp "${sources[$i]}" "$album/Trip/trip$i.${sources[$i]##*.}"; done
cp "${sources[0]}" "$album/.hidden.jpg"
echo "not a picture" > "$album/notes.txt"
head -c 3000 "${sources[0]}" > "$album/aa-broken.jpg"
write_config "$album/"

open_program
wait_for '^[-0-9]* Album Init OK' 60 || fail "the album did not start"
read -r px py pw ph <<< "$(sed -n 's/^[-0-9]* Album page at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\),.*/\1 \2 \3 \4/p' "$log" | head -n 1)"
[[ -n "$ph" ]] || fail "the album page did not say where it is"
# "..", two folders, 300 photos and the damaged one; no dot file, no text file.
wait_for "Album listed 304 items of $album/.\{0,1\}$" 30 || fail "the album folder was not listed whole"
sleep 4
[[ -n "${TESSERA_ALBUM_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_ALBUM_SHOT"
gx=$((px + 300))
gy=$((py + 71))
[[ $(colours $((gx + 110)) "$gy" 600 260) -gt 500 ]] || fail "the grid shows no thumbnails"
# Scrolling down far shows other thumbnails.
first=$(colours "$gx" $((gy + 130)) 700 300)
timeout 10 xdotool mousemove --window "$window" $((gx + 300)) $((gy + 300))
for _ in $(seq 1 12); do timeout 5 xdotool click 5; sleep 0.1; done
sleep 4
[[ $(colours "$gx" $((gy + 130)) 700 300) -gt 500 ]] || fail "scrolling showed no thumbnails"
for _ in $(seq 1 12); do timeout 5 xdotool click 4; sleep 0.1; done
sleep 1

# Into Trip by a double click on its cell (after ".."; folders come first),
# out by "..", the first cell there.
timeout 10 xdotool mousemove --window "$window" $((gx + 165)) $((gy + 60)) click --repeat 2 --delay 80 1
wait_for "Album listed 6 items of $album/Trip/.\{0,1\}$" 10 || fail "a double click did not enter Trip"
sleep 0.5
timeout 10 xdotool mousemove --window "$window" $((gx + 55)) $((gy + 60)) click --repeat 2 --delay 80 1
wait_count "Album listed 304 items of $album/.\{0,1\}$" 2 10 || fail "\"..\" did not return"
# ".." was a step back: forward enters Trip again, back returns.
timeout 10 xdotool mousemove --window "$window" $((px + 30)) $((py + 10)) click 1
wait_count "Album listed 6 items of $album/Trip/.\{0,1\}$" 2 10 || fail "forward did not enter Trip"
timeout 10 xdotool mousemove --window "$window" $((px + 10)) $((py + 10)) click 1
wait_count "Album listed 304 items of $album/.\{0,1\}$" 3 10 || fail "back did not return"

# Ten files copied in join the grid.
for i in $(seq 1 10); do cp "${sources[$i]}" "$album/new-$i.${sources[$i]##*.}"; done
wait_for "Album listed 314 items of $album/.\{0,1\}$" 15 || fail "the copied files did not appear"

# The sort item (name -> date) and the size item (thumbnails -> large).
timeout 10 xdotool mousemove --window "$window" $((px + pw - 17)) $((py + 17)) click 1
sleep 0.5
timeout 10 xdotool mousemove --window "$window" $((px + pw - 17)) $((py + 52)) click 1
sleep 0.5
close_program
grep -q "^Sort=dword:0*1[^0-9]*$" "$work/config/Tessera/settings.ini" || fail "the sort order was not stored: $(cat "$work/config/Tessera/settings.ini")"
grep -q "^ViewMode=dword:0*4" "$work/config/Tessera/settings.ini" || fail "the view size was not stored"
: > "$log"
open_program
wait_for '^[-0-9]* Album page at .*, sort 1, view 4' 60 || fail "the restart did not take the sort and size"
wait_for "Album listed 314 items of $album/.\{0,1\}$" 30 || fail "the restart did not list the album folder"
close_program

# The same album in the probe: once the thumbnails are drawn, what the
# window shows of the grid is the back buffer's grid, byte for byte.
cp "$probe" "$work/bin/album_probe" || fail "cannot copy the album probe"
: > "$log"
env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc" TMPDIR="$work/tmp" \
  "$work/bin/album_probe" "$work/dump.rgb" >> "$work/output" 2>&1 &
pid=$!
find_window '^Tessera' || fail "no probe window"
wait_for "Album listed 314 items of $album/.\{0,1\}$" 60 || fail "the probe did not list the album folder"
sleep 5
timeout 10 xdotool mousemove --window "$window" 5 $((HEIGHT - 5))
sleep 1
timeout 10 xdotool key --window "$window" F9
wait_for '^[-0-9]* dump' 10 || fail "the probe wrote no dump"
read -r dx dy dw dh <<< "$(sed -n 's/^[-0-9]* dumped \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\).*/\1 \2 \3 \4/p' "$log" | tail -n 1)"
[[ -n "$dh" ]] || fail "the dump failed: $(grep dump "$log")"
timeout 20 import -window "$window" -crop "${dw}x${dh}+${dx}+${dy}" -depth 8 "rgb:$work/screen.rgb" ||
  fail "import could not capture the window"
cmp -s "$work/dump.rgb" "$work/screen.rgb" || fail "the capture of the grid differs from the back buffer"
[[ $(convert -size "${dw}x${dh}" -depth 8 "rgb:$work/screen.rgb" -format '%k' info:) -gt 500 ]] ||
  fail "the compared grid shows no thumbnails"
close_program
echo "the album showed 300 photos as thumbnails, scrolled, went into a folder and back, took ten new files and kept its sort and size over a restart; the window showed the grid exactly as drawn"
