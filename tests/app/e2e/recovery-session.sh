#!/usr/bin/env bash
# The part of the recovery test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
source=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session-lib.sh"

# Opening runs no wizard; the album shows an empty folder.
printf '[Editor]\nAutoWizard=dword:00000000\n' > "$work/config/Tessera/settings.ini"
write_config "$work/home/Pictures/Album"
mkdir -p "$work/home/Pictures/Album" "$work/photos"
convert -size 240x80 xc:'#d02020' "$work/photos/red.png" || fail "cannot make the photos"
convert -size 240x80 xc:'#2040d0' "$work/photos/blue.png" || fail "cannot make the photos"

# The files the program keeps in its temporary folder.
indexes() { find "$work/tmp" -name 'BFStatus*.flg' | sort; }
histories() { find "$work/tmp" -name 'his*' | sort; }
# The page count of an index (its first two bytes).
index_pages() { od -An -tu2 -N2 "$1" | tr -d ' '; }
# The size, "WxH", of the blue photo's picture on the canvas (right of the
# adjust column, below the toolbar, left of the side panels).
blue_extent() {
  timeout 20 import -window "$window" -crop 860x660+190+120 +repage "$work/shot.png" ||
    fail "import could not capture the window"
  convert "$work/shot.png" -fill black -fuzz 12% +opaque '#2040d0' -trim -format '%wx%h' info: 2>/dev/null
}
start() {
  : > "$log"
  open_program "$@"
  wait_for '^[-0-9]* Tools Init OK' 60 || fail "the start-up stages did not end"
}
# Drops the photos on the tab strip's empty part.
drop() {
  timeout 10 xdotool mousemove --window "$window" 1000 56
  sleep 0.3
  timeout 20 "$source" $((X + 1000)) $((Y + 56)) "$@" || fail "the drop of $* was not taken"
}
# Waits until the index is the size given.
wait_index_size() {
  local index
  for _ in $(seq 1 100); do
    index=$(indexes | head -n 1)
    [[ -n "$index" && $(stat -c %s "$index") -eq $1 ]] && return 0
    sleep 0.1
  done
  return 1
}
# The current page turned right from the transform button's menu (R).
turn_right() {
  click_at 89 163
  sleep 1
  timeout 5 xdotool key --window "$window" r
}
crash() {
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  pid=
}
# Closes the window: Yes to the program's question, No to each page's.
close_unsaved() {
  timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
  sleep 1
  timeout 5 xdotool key --window "$window" y
  press_until_end n
  [[ $rc -eq 0 ]] || fail "the program ended with $rc"
}

# An index: 2 bytes, each page 1026 bytes and 1120 a step.
record=1120
page=1026
start
sleep 2
measure_plain
drop "$work/photos/red.png" "$work/photos/blue.png"
wait_index_size $((2 + 2 * page + 2 * record)) || fail "the two pages are not in an index"
sleep 1
[[ $(blue_extent) =~ ^([0-9]+)x([0-9]+)$ ]] || fail "the blue photo does not show"
(( BASH_REMATCH[1] > BASH_REMATCH[2] )) || fail "the blue photo shows as ${BASH_REMATCH[0]}"
turn_right
wait_index_size $((2 + 2 * page + 3 * record)) || fail "the turn did not reach the index"
first_index=$(indexes)
crash
[[ -e "${first_index%.flg}.lock" || -n "$(find "$work/tmp" -name 'BFStatus*' ! -name '*.flg')" ]] ||
  fail "the lock file went with the process"
[[ $(histories | wc -l) -eq 2 ]] || fail "the crash did not leave two history files: $(histories)"

# Yes brings both pages back, the blue one turned; Ctrl+Z turns it back.
start
wait_for_box || fail "the start after the crash did not ask"
sleep 0.5
[[ -n "${TESSERA_RECOVERY_SHOT:-}" ]] && timeout 20 import -window root "$TESSERA_RECOVERY_SHOT"
timeout 5 xdotool key --window "$window" y
wait_box_gone || fail "the question did not close"
sleep 1
[[ -e "$first_index" ]] && fail "the crashed run's index is still there"
now=$(indexes)
[[ $(wc -l <<< "$now") -eq 1 && -n "$now" ]] || fail "this run keeps no one index: $now"
[[ $(index_pages "$now") -eq 2 ]] || fail "this run's index lists $(index_pages "$now") pages"
[[ $(blue_extent) =~ ^([0-9]+)x([0-9]+)$ ]] || fail "the recovered blue photo does not show"
(( BASH_REMATCH[1] < BASH_REMATCH[2] )) || fail "the recovered blue photo shows as ${BASH_REMATCH[0]}, not turned"
timeout 5 xdotool key --window "$window" ctrl+z
sleep 1
[[ $(blue_extent) =~ ^([0-9]+)x([0-9]+)$ ]] || fail "the blue photo does not show after Ctrl+Z"
(( BASH_REMATCH[1] > BASH_REMATCH[2] )) || fail "Ctrl+Z left the blue photo as ${BASH_REMATCH[0]}"
close_unsaved
[[ -z "$(indexes)" ]] || fail "a normal close left an index"
echo "after SIGKILL the next start asked; Yes brought back both pages, the turned one turned, and Ctrl+Z turned it back"

# The start after that offers nothing.
start
sleep 2
[[ $(colours $((WIDTH / 2 - 60)) $((HEIGHT / 2 - 30)) 120 60) -le $((plain + 4)) ]] ||
  fail "a start after a normal close asked"
# A second crash, answered No: no index and no history files are left.
drop "$work/photos/red.png"
wait_index_size $((2 + page + record)) || fail "the page is not in an index"
turn_right
wait_index_size $((2 + page + 2 * record)) || fail "the turn did not reach the index"
crash
start
wait_for_box || fail "the start after the second crash did not ask"
timeout 5 xdotool key --window "$window" n
wait_box_gone || fail "the question did not close"
sleep 1
[[ -z "$(indexes)$(histories)" ]] || fail "No left files behind: $(indexes) $(histories)"
close_program
echo "the start after a normal close offered nothing; No after a crash left no index and no history files"
