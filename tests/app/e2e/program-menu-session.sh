#!/usr/bin/env bash
# The part of the program-menu test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session-lib.sh"

mkdir -p "$work/bin/data/basic/Localize" "$work/home/Pictures/Album"
printf '[StringTab]\n"title"="Tessera en francais"\n"albumsysmenu"="Programme"\n"menuExit"="Quitter"\n' \
  > "$work/language.utf8"
"$texttable" encode "$work/language.utf8" "$work/bin/data/basic/Localize/francais.txt" ||
  fail "cannot write the language file"
write_config "$work/home/Pictures/Album"

# The album menu opens from the tool strip's first item (the album page at
# 2, 74; its strip right of the 300-pixel folder column); its first entry
# opens the program menu: help, the default language, francais, the skins,
# settings and about.
open_menu() {
  click_at 335 110
  sleep 1
}
program_entry() {
  open_menu
  timeout 10 xdotool mousemove --window "$window" 430 119
  sleep 1
  click_at 592 "$1"
}
menu_shot() {
  open_menu
  timeout 20 import -window "$window" -crop 165x225+376+108 +repage "$1" || fail "no capture of the menu"
  timeout 5 xdotool key --window "$window" Escape
  sleep 0.5
}
start() {
  : > "$log"
  start_program
  find_window "$1" || fail "no window titled $1"
  wait_for '^[-0-9]* Tools Init OK' 60 || fail "the start-up stages did not end"
  sleep 1
}

start '^Tessera$'
measure_plain
menu_shot "$work/menu-base.png"

# About: a box in the middle that a click closes.
program_entry 270
wait_for_box || fail "the about box did not open"
sleep 0.5
click_at $((WIDTH / 2)) $((HEIGHT / 2))
wait_box_gone || fail "a click did not close the about box"
# Settings: the dialog, which Escape closes without storing.
program_entry 250
wait_for_box || fail "the settings dialog did not open"
timeout 5 xdotool key --window "$window" Escape
wait_box_gone || fail "Escape did not close the settings dialog"
grep -q 'AutoWizard' "$work/config/Tessera/settings.ini" 2>/dev/null && fail "a cancelled settings dialog stored"
# Help without a manual: the message, closed by Enter.
program_entry 120
wait_for_box || fail "help without a manual said nothing"
timeout 5 xdotool key --window "$window" Return
wait_box_gone || fail "the manual's message did not close"
grep -q 'not built' "$log" && fail "the program menu reached a stand-in: $(grep 'not built' "$log")"

# francais: "restartTosee", the choice stored.
program_entry 170
wait_for_box || fail "choosing francais did not say it takes effect at the next start"
timeout 5 xdotool key --window "$window" Return
wait_box_gone || fail "the message did not close"
grep -q '^Language=.*francais' "$work/config/Tessera/settings.ini" ||
  fail "the language was not stored: $(cat "$work/config/Tessera/settings.ini")"
[[ $(xdotool getwindowname "$window") == Tessera ]] || fail "the title changed before the restart"
close_program

# After the restart the title and the menu are in francais.
start '^Tessera en francais$'
menu_shot "$work/menu-francais.png"
changed=$(compare -metric AE "$work/menu-base.png" "$work/menu-francais.png" null: 2>&1)
[[ "$changed" =~ ^[0-9]+$ && $changed -gt 50 ]] || fail "the menu looks as before the restart ($changed pixels differ)"
close_program
echo "the program menu opened the about box, the settings and the manual's message; francais said restartTosee and after a restart titled the window and the menu"
