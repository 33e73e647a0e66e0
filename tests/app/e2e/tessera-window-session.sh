#!/usr/bin/env bash
# The part of the program test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
here=$(cd "$(dirname "$0")" && pwd)
# The program with a data folder of its own: the shipped one with the debug
# log switched on, and a language whose title the test knows.
source "$here/session-lib.sh"
mkdir -p "$work/bin/data/basic/Localize"
printf '[StringTab]\n"title"="Tessera Testfenster"\n' > "$work/language.utf8"
"$texttable" encode "$work/language.utf8" "$work/bin/data/basic/Localize/Testsprache.txt" ||
  fail "cannot write the language file"
printf '[Program]\nLanguage=sz:Testsprache\n' > "$work/config/Tessera/settings.ini"

# config.dat naming one search folder, which holds two pictures and a text:
# version 1, no favourites, the album root, one 1024-character path field.
scope=$work/home/Pictures/scan
mkdir -p "$scope"
cp "$data/basic/help.png" "$data/basic/title.png" "$scope/" || fail "cannot copy the pictures to scan"
echo "not a picture" > "$scope/notes.txt"
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; }
root=$work/home/Pictures
{
  printf '\001\000\000'
  printf "\\$(printf '%03o' $((${#root} & 255)))\\$(printf '%03o' $((${#root} >> 8)))"
  utf16 "$root"
  printf '\001\000'
  utf16 "$scope"
  head -c $((2048 - 2 * ${#scope})) /dev/zero
} > "$work/config/Tessera/config.dat" || fail "cannot write config.dat"

start=$(date +%s%N)
start_program
find_window '^Tessera Testfenster$' || fail "no window titled 'Tessera Testfenster'"
shown=$(date +%s%N)
wait_for '^[-0-9]* Tools Init OK' || fail "the start-up stages did not end"
echo "window titled from the language after $(((shown - start) / 1000000)) ms"

# The start-up lines in order.
lines=$(sed -e 's/\r$//' -e 's/^[-0-9]* //' "$log" |
  grep -xE 'Main Window inited, childs created\.|Album Init OK|Image Core Init OK|Menu Init OK|Tools Init OK')
expected=$'Main Window inited, childs created.\nAlbum Init OK\nImage Core Init OK\nMenu Init OK\nTools Init OK'
[[ "$lines" == "$expected" ]] || fail "the start-up lines came as: $lines"

eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
# The window's icon for the task bar, when xprop is there to read it.
if command -v xprop >/dev/null; then
  timeout 10 xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (36 x 34)' || fail "the window has no icon"
fi
sleep 0.5
if [[ -n "${TESSERA_WINDOW_SHOT:-}" ]]; then
  timeout 20 import -window root "$TESSERA_WINDOW_SHOT" || fail "no screenshot"
fi

# The album's title on the tab strip (from x 150 of the frame at 2, 40) and
# the help button left of the caption buttons, each beside plain skin.
[[ $(colours 152 44 100 24) -gt 10 ]] || fail "no album title on the tab strip"
[[ $(colours 500 44 100 24) -lt 4 ]] || fail "the empty tab strip is not plain"
[[ $(colours $((WIDTH - 145)) 0 70 25) -gt 10 ]] || fail "no help button"
[[ $(colours $((WIDTH - 300)) 2 100 23) -lt 4 ]] || fail "the title band is not plain"
centre_x=$((WIDTH / 2 - 60))
centre_y=$((HEIGHT / 2 - 30))
plain=$(colours "$centre_x" "$centre_y" 120 60)

# No manual ships: the help button says so in a message box, which Enter
# closes.
timeout 10 xdotool mousemove --window "$window" $((WIDTH - 110)) 12 click 1
told=
for _ in $(seq 1 50); do
  sleep 0.2
  if [[ $(colours "$centre_x" "$centre_y" 120 60) -gt $((plain + 4)) ]]; then
    told=1
    break
  fi
done
[[ -n "$told" ]] || fail "the help button did not answer"
timeout 10 xdotool key --window "$window" Return
for _ in $(seq 1 50); do
  sleep 0.2
  [[ $(colours "$centre_x" "$centre_y" 120 60) -le $((plain + 4)) ]] && break
done
[[ $(colours "$centre_x" "$centre_y" 120 60) -le $((plain + 4)) ]] || fail "the manual's message did not close"

# The frame's close button asks "closeProgram" in a message box in the
# middle of the window: N keeps the window, Y closes it.
timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
asked=
for _ in $(seq 1 50); do
  sleep 0.2
  if [[ $(colours "$centre_x" "$centre_y" 120 60) -gt $((plain + 4)) ]]; then
    asked=1
    break
  fi
done
[[ -n "$asked" ]] || fail "closing did not ask"
sleep 0.5
if [[ -n "${TESSERA_CLOSE_SHOT:-}" ]]; then
  timeout 20 import -window root "$TESSERA_CLOSE_SHOT" || fail "no screenshot of the question"
fi
timeout 5 xdotool key --window "$window" n
sleep 1
kill -0 "$pid" 2>/dev/null || fail "No to the question ended the program"
timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
  timeout 5 xdotool key --window "$window" y 2>/dev/null
done
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the program ended with $rc"
[[ -s "$work/config/Tessera/config.dat" ]] || fail "no config.dat after the run"
# The scan went through the search folder while the window was open.
grep -q '^[-0-9]* Photo information: 2 photos' "$log" || fail "the photo scan did not find the two pictures"
echo "tessera opened titled from its language with the album tab and the help button, logged its stages in order, scanned its search folder, kept its window on No and closed with status 0 on Yes"
