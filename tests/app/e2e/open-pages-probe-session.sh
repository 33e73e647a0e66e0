#!/usr/bin/env bash
# The part of the page test that runs inside the virtual X server.
set -u
probe=$1
source=$2
work=$(mktemp -d)
log=$work/log
pid=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe log:"
  cat "$log"
  echo "--- probe output:"
  cat "$work/output"
  exit 1
}
wait_for() {
  local tries=$((${2:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}
# F8: the state block; its lines are kept in $work/state.
state() {
  local before
  before=$(grep -c '^state end' "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" F8
  for _ in $(seq 1 100); do
    [[ $(grep -c '^state end' "$log") -gt $before ]] && break
    sleep 0.1
  done
  [[ $(grep -c '^state end' "$log") -gt $before ]] || fail "no state after F8"
  awk '/^pages/ { block = "" } { block = block $0 "\n" } END { printf "%s", block }' "$log" > "$work/state"
  read -r _ pages _ current < <(grep '^pages' "$work/state")
}
# The window point of a tab's title or close button: tab_point <index> title|close.
tab_point() {
  awk -v i="$1" -v what="$2" '$1 == "tab" && $2 == i {
    for (f = 3; f <= NF; ++f) if ($f == what) { print $(f + 1), $(f + 2); exit } }' "$work/state"
}
click_at() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  timeout 10 xdotool click 1
  sleep 0.5
}
# Drops the files with the pointer on the tab strip's empty part.
drop() {
  timeout 10 xdotool mousemove --window "$window" 1200 56
  sleep 0.3
  timeout 20 "$source" $((X + 1200)) $((Y + 56)) "$@" || fail "the drop of $* was not taken"
  sleep 1
}

mkdir -p "$work/home/Pictures" "$work/config" "$work/etc" "$work/tmp"
for name in red green blue; do
  convert -size 96x64 "xc:$name" "$work/home/Pictures/$name.png" || fail "cannot make the photos"
done
touch "$log"
HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
  "$probe" "$log" > "$work/output" 2>&1 &
pid=$!
wait_for '^ready' 120 || fail "the window did not start"
window=
for _ in $(seq 1 60); do
  window=$(timeout 10 xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
  [[ -n "$window" ]] && break
  sleep 0.5
done
[[ -n "$window" ]] || fail "no window"
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
pictures=$work/home/Pictures

# Three photos dropped at once open three tabs; the last is current.
drop "$pictures/red.png" "$pictures/green.png" "$pictures/blue.png"
state
[[ "$pages $current" == "4 3" ]] || fail "three dropped photos gave $pages pages, current $current"
grep -q '^tab 1 red.png' "$work/state" || fail "the first photo's tab is not second"

# A click on a title selects its page.
click_at $(tab_point 1 title)
state
[[ "$current" == 1 ]] || fail "a click on the first photo's title made $current current"
click_at $(tab_point 2 title)
state
[[ "$current" == 2 ]] || fail "a click on the second photo's title made $current current"

# The same photo dropped again selects its tab.
drop "$pictures/red.png"
state
[[ "$pages $current" == "4 1" ]] || fail "dropping a photo again gave $pages pages, current $current"

# The close button on the hovered title of the current page closes it and
# shows the album.
read -r tx ty < <(tab_point 1 title)
timeout 10 xdotool mousemove --window "$window" "$tx" "$ty"
sleep 0.5
click_at $(tab_point 1 close)
state
[[ "$pages $current" == "3 0" ]] || fail "the close button left $pages pages, current $current"

# The adjust page's transform button opens its menu, every entry enabled
# for the photo's one layer.
click_at $(tab_point 1 title)
state
[[ "$current" == 1 ]] || fail "the green photo's page is not current"
read -r ax ay < <(awk '$1 == "adjust" && $2 == 1 { print $3, $4 }' "$work/state")
[[ -n "$ax" ]] || fail "no transform button"
click_at "$ax" "$ay"
state
entries=$(grep -c '^menu ' "$work/state")
[[ "$entries" == 12 ]] || fail "the transform menu has $entries entries"
grep -q '^menu 10004 1' "$work/state" || fail "rotate free is not enabled for one layer"
if grep -q '^menu [0-9]* 0' "$work/state"; then fail "a transform entry is disabled for one layer"; fi
timeout 10 xdotool key --window "$window" Escape
sleep 0.5
echo "three dropped photos opened three tabs, titles switched them, a photo dropped again selected its tab, the close button returned to the album and the transform menu opened with its entries enabled"
