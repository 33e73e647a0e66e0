#!/usr/bin/env bash
# The part of the wizard test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
source=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session-lib.sh"

mkdir -p "$work/home/Pictures/Album" "$work/photos"
write_config "$work/home/Pictures/Album"
convert -size 240x80 xc:'#d02020' "$work/photos/red.png" || fail "cannot make the photo"

# The wizard in the middle of a 1280 x 800 window: its cards from (325, 169)
# to (947, 614); exposure at the top left, colour below it, "remove an
# object" right of the middle; the check box at (339, 647).
shot() {
  timeout 20 import -window "$window" -crop "$3x$4+$1+$2" +repage "$5" || fail "import could not capture the window"
}
differ() { compare -metric AE "$1" "$2" null: 2>&1; }
exposure() { shot 325 169 205 164 "$1"; }
colour() { shot 325 337 205 164 "$1"; }

open_program
wait_for '^[-0-9]* Tools Init OK' 60 || fail "the start-up stages did not end"
[[ $WIDTH -eq 1280 && $HEIGHT -eq 800 ]] || fail "the window is $WIDTH x $HEIGHT"
sleep 1
timeout 10 xdotool mousemove --window "$window" 1000 56
sleep 0.3
timeout 20 "$source" $((X + 1000)) $((Y + 56)) "$work/photos/red.png" || fail "the drop was not taken"
for _ in $(seq 1 50); do
  [[ $(colours 325 169 622 445) -gt 200 ]] && break
  sleep 0.2
done
[[ $(colours 325 169 622 445) -gt 200 ]] || fail "the dropped photo opened no wizard"
[[ $(colours 330 130 500 25) -ge 4 ]] || fail "the wizard has no title band"
sleep 1
exposure "$work/exposure-closed.png"
colour "$work/colour-closed.png"

# The exposure card gives way to its entries.
click_at 427 250
sleep 1.5
exposure "$work/exposure-open.png"
[[ $(differ "$work/exposure-closed.png" "$work/exposure-open.png") -gt 2000 ]] ||
  fail "the exposure card did not open"
# The colour card opens and brings the exposure card back.
click_at 427 420
sleep 1.5
exposure "$work/exposure-again.png"
colour "$work/colour-open.png"
[[ $(differ "$work/exposure-closed.png" "$work/exposure-again.png") -lt 200 ]] ||
  fail "the exposure card did not come back"
[[ $(differ "$work/colour-closed.png" "$work/colour-open.png") -gt 2000 ]] || fail "the colour card did not open"
grep -q 'Wizard fade not started' "$log" && fail "a card opened without its fade"

# Unticking stores AutoWizard 0 at once.
click_at 339 647
for _ in $(seq 1 20); do
  grep -qi '^AutoWizard=dword:0*$' "$work/config/Tessera/settings.ini" 2>/dev/null && break
  sleep 0.1
done
grep -qi '^AutoWizard=dword:0*$' "$work/config/Tessera/settings.ini" 2>/dev/null ||
  fail "unticking did not store AutoWizard 0: $(cat "$work/config/Tessera/settings.ini" 2>/dev/null)"

# "Remove an object" ends the wizard at once, without fading out.
click_at 791 440
sleep 0.4
# Its title band lay over the plain canvas above the photo.
[[ $(colours 330 130 500 25) -lt 4 ]] || fail "the wizard stayed after the object card"
close_program
echo "a dropped photo opened the wizard; exposure opened, colour brought it back, unticking stored AutoWizard 0 and the object card ended it at once"
