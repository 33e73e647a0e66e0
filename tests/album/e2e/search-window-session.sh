#!/usr/bin/env bash
# The part of the search test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
cache=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"

# config.dat: no favourites, the album folder, the search folders given.
write_scope_config() {
  local root=$1
  shift
  utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; }
  {
    printf '\001\000\000'
    printf "\\$(printf '%03o' $((${#root} & 255)))\\$(printf '%03o' $((${#root} >> 8)))"
    utf16 "$root"
    printf "\\$(printf '%03o' $#)\\000"
    for scope in "$@"; do
      utf16 "$scope"
      head -c $((2048 - 2 * ${#scope})) /dev/zero
    done
  } > "$work/config/Tessera/config.dat" || fail "cannot write config.dat"
}

# About 300 photos: the test images, and copies of two dated camera photos.
photos=$work/home/Pictures/Photos
mkdir -p "$photos"
mapfile -t sources < <(find "$cache" \( -iname '*.jpg' -o -iname '*.png' \) -size +20k -size -3M | sort |
  while read -r f; do identify "$f" >/dev/null 2>&1 && echo "$f"; done | head -n 40)
[[ ${#sources[@]} -ge 10 ]] || fail "too few test images in $cache"
for i in $(seq 0 279); do
  src=${sources[$((i % ${#sources[@]}))]}
  cp "$src" "$photos/$(printf 'p-%03d' "$i").${src##*.}" || fail "cannot copy $src"
done
for i in $(seq 1 10); do
  cp "$cache/usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/tower.jpg" "$photos/tower-$i.jpg"
  cp "$cache/usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/sample1.jpg" "$photos/sample-$i.jpg"
done

# Shows the search tab: its title lies in the strip at the bottom of the
# album's tab frame, after the folder tab's.
show_search_tab() {
  for x in ${tabx:-170 220 260 130}; do
    timeout 10 xdotool mousemove --window "$window" $((px + x)) $((py + ph - 19)) click 1
    if wait_for "Search page at" 3; then
      tabx=$x
      return 0
    fi
  done
  fail "the search tab was not found"
}
album_place() {
  wait_for '^[-0-9]* Album Init OK' 60 || fail "the album did not start"
  read -r px py pw ph <<< "$(sed -n 's/^[-0-9]* Album page at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\),.*/\1 \2 \3 \4/p' "$log" | head -n 1)"
  [[ -n "$ph" ]] || fail "the album page did not say where it is"
}

# The first visit without search folders asks for them.
write_scope_config "$photos/"
open_program
album_place
show_search_tab
sleep 3
timeout 5 xdotool key --window "$window" Return
wait_for "Search folders dialog with 0 folders" 10 || fail "\"Firsttimesearching\" was not followed by the search-folder dialog"
timeout 5 xdotool key --window "$window" Escape
sleep 0.5
close_program

# With the photos in the search folders.
write_scope_config "$photos/" "$photos/"
: > "$log"
open_program
album_place
show_search_tab
read -r sx sy sw sh <<< "$(sed -n 's/^[-0-9]* Search page at \([0-9]*\) \([0-9]*\) \([0-9]*\) \([0-9]*\),.*/\1 \2 \3 \4/p' "$log" | head -n 1)"
[[ -n "$sh" ]] || fail "the search page did not say where it is"
# The busy indicator (5, h - 45, 40 x 40) turns while the scan runs, once
# the tab has slid in; a scan that ends first leaves nothing to see turning.
busy="40x40+$((sx + 5))+$((sy + sh - 45))"
sleep 3
if ! grep -q "Search tree built: [1-9]" "$log"; then
  timeout 20 import -window "$window" -crop "$busy" +repage "$work/busy1.png"
  sleep 0.4
  timeout 20 import -window "$window" -crop "$busy" +repage "$work/busy2.png"
  if ! grep -q "Search tree built: [1-9]" "$log"; then
    changed=$(compare -metric AE "$work/busy1.png" "$work/busy2.png" null: 2>&1 | cut -d' ' -f1)
    [[ ${changed%.*} -gt 0 ]] || fail "the busy indicator did not turn during the scan"
    echo "the busy indicator turned during the scan ($changed pixels changed)"
  fi
else
  echo "the scan had ended before the search tab showed"
fi
wait_for "Search tree built: [1-9]" 120 || fail "the search tree was not built after the scan"
sleep 1
[[ $(colours $((sx + 5)) $((sy + sh - 45)) 40 40) -lt 8 ]] || fail "the busy indicator still shows after the scan"
# Rows of 20 pixels below the tool panel (tree at y 32): the date branch,
# its first year, then that year's first month.
timeout 10 xdotool mousemove --window "$window" $((sx + 8)) $((sy + 42)) click 1
sleep 0.5
timeout 10 xdotool mousemove --window "$window" $((sx + 20)) $((sy + 62)) click 1
sleep 0.5
timeout 10 xdotool mousemove --window "$window" $((sx + 90)) $((sy + 82)) click 1
[[ -n "${TESSERA_SEARCH_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_SEARCH_SHOT.tree.png"
wait_for "Search found [1-9][0-9]* photos" 20 || fail "the month node found no photos"
sleep 4
[[ -n "${TESSERA_SEARCH_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_SEARCH_SHOT"
[[ $(colours $((px + 300 + 20)) $((py + 71 + 10)) 500 200) -gt 500 ]] || fail "the grid shows no thumbnails"
close_program
echo "the first visit asked for the search folders; over 300 photos the scan ended, the tree was built and a month filled the grid with thumbnails"
