#!/usr/bin/env bash
# The part of the edit page test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
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
  exit 1
}

# Waits up to 20 s (or the seconds given) for a line of the log.
wait_for() {
  local tries=$((${2:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}
shot() {
  [[ -n "${TESSERA_EDIT_SHOTS:-}" ]] || return 0
  mkdir -p "$TESSERA_EDIT_SHOTS"
  timeout 20 import -window "$window" "$TESSERA_EDIT_SHOTS/$1.png"
}
# F8: the state line (zoom, source, image rectangle, history step, whether
# the photo's page is current, the two titles) and the display picture.
state() {
  local before
  before=$(grep -c '^state' "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" F8
  for _ in $(seq 1 100); do
    [[ $(grep -c '^state' "$log") -gt $before ]] && break
    sleep 0.1
  done
  read -r _ dumped _ zoom _ sl st sr sb _ ix iy iw ih _ step _ current _ ax ay px py < <(grep '^state' "$log" | tail -n 1)
}
# The window's capture of the picture equals the display picture.
same_as_display() {
  [[ "$dumped" == dumped ]] || fail "$1: no display picture to compare"
  timeout 20 import -window "$window" -crop "${iw}x${ih}+${ix}+${iy}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  cmp -s "$work/dump.rgb" "$work/screen.rgb" || fail "$1: the capture of the picture differs from the display picture"
}
# Two display pictures of the view show the same photo: the history and the
# page-out file keep pixels with 12 bits of luminance, so a picture that
# comes back from them may differ from the first by a rounding, never more.
close_to() {
  local differing
  differing=$(compare -metric AE -fuzz 2% -size "${iw}x${ih}" -depth 8 "rgb:$1" "rgb:$2" null: 2>&1)
  [[ "$differing" == 0 ]]
}
drag() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  sleep 0.2
  timeout 10 xdotool mousemove --window "$window" $(($1 + $3 / 2)) $(($2 + $4 / 2))
  sleep 0.1
  timeout 10 xdotool mousemove --window "$window" $(($1 + $3)) $(($2 + $4))
  sleep 0.2
  timeout 10 xdotool mouseup 1
}

mkdir -p "$work/home/Pictures" "$work/config" "$work/etc" "$work/tmp"
touch "$log"
HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
  "$probe" "$log" "$work/dump.rgb" "$photo" > "$work/output" 2>&1 &
pid=$!
wait_for '^opened' 120 || fail "the photo did not open"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tessera$' | head -n 1)
[[ -n "$window" ]] || fail "no window named 'Tessera'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for '^activate [12]$' || fail "no activation"

state
[[ $current -eq 1 && $step -eq 0 ]] || fail "the photo's page is not current at its first step"
[[ $sl -eq 0 && $st -eq 0 ]] || fail "the photo is not shown from its corner"
same_as_display "fitted"
shot fitted
fit=$zoom

# The wheel zooms in around the pointer.
cx=$((ix + iw / 2))
cy=$((iy + ih / 2))
timeout 10 xdotool mousemove --window "$window" "$cx" "$cy"
for _ in 1 2 3; do
  timeout 10 xdotool click --window "$window" 4
  sleep 0.3
done
state
awk -v a="$zoom" -v b="$fit" 'BEGIN { exit !(a > b) }' || fail "the wheel did not zoom in ($fit to $zoom)"
same_as_display "zoomed"
shot zoomed

# A drag pans by the dragged distance.
l0=$sl
t0=$st
drag $((ix + iw / 2)) $((iy + ih / 2)) -100 -60
state
dx=$(awk -v z="$zoom" 'BEGIN { printf "%d", 100 / z }')
dy=$(awk -v z="$zoom" 'BEGIN { printf "%d", 60 / z }')
[[ $((sl - l0)) -ge $((dx - 2)) && $((sl - l0)) -le $((dx + 2)) && $((st - t0)) -ge $((dy - 2)) &&
   $((st - t0)) -le $((dy + 2)) ]] || fail "a drag of 100 x 60 moved the view by $((sl - l0)) x $((st - t0))"
same_as_display "dragged"

# With Space held a drag pans as well.
l0=$sl
t0=$st
timeout 10 xdotool keydown --window "$window" space
drag $((ix + iw / 2)) $((iy + ih / 2)) 80 40
timeout 10 xdotool keyup --window "$window" space
state
[[ $((l0 - sl)) -ge $((dx * 4 / 5 - 2)) && $((t0 - st)) -ge $((dy * 2 / 3 - 2)) ]] ||
  fail "a drag with Space moved the view by $((sl - l0)) x $((st - t0))"
same_as_display "space-dragged"
cp "$work/dump.rgb" "$work/before-edit.rgb"
view="$sl $st $sr $sb $zoom"

# An edit, undone with Ctrl+Z and redone with Ctrl+Y.
timeout 10 xdotool key --window "$window" F9
wait_for '^edited$' || fail "the edit was not recorded"
state
[[ $step -eq 1 ]] || fail "the edit is not step 1"
close_to "$work/dump.rgb" "$work/before-edit.rgb" && fail "the edit does not show"
same_as_display "edited"
cp "$work/dump.rgb" "$work/edited.rgb"
timeout 10 xdotool key --window "$window" ctrl+z
state
[[ $step -eq 0 ]] || fail "Ctrl+Z left step $step"
close_to "$work/dump.rgb" "$work/before-edit.rgb" || fail "Ctrl+Z did not bring the picture back"
same_as_display "undone"
sleep 0.2
timeout 10 xdotool key --window "$window" ctrl+y
state
[[ $step -eq 1 ]] || fail "Ctrl+Y left step $step"
close_to "$work/dump.rgb" "$work/edited.rgb" || fail "Ctrl+Y did not bring the edit back"
same_as_display "redone"
cp "$work/dump.rgb" "$work/redone.rgb"
shot redone

# The album's tab and back: the page comes back as it was.
timeout 10 xdotool mousemove --window "$window" "$ax" "$ay" click 1
sleep 1
state
[[ $current -eq 0 && "$dumped" == nodump ]] || fail "the album's title did not swap the photo's page out"
timeout 10 xdotool mousemove --window "$window" "$px" "$py" click 1
sleep 1
timeout 10 xdotool mousemove --window "$window" "$cx" "$cy"
state
[[ $current -eq 1 ]] || fail "the photo's title did not bring its page back"
[[ "$sl $st $sr $sb $zoom" == "$view" ]] || fail "the view came back as $sl $st $sr $sb $zoom, not $view"
close_to "$work/dump.rgb" "$work/redone.rgb" || fail "the photo came back changed"
same_as_display "back"

# Closed by the frame's close button: Yes to closing, No to saving.
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
wait_for '^close asked$' 10 || fail "the close button did not ask to close"
sleep 0.5
timeout 10 xdotool key --window "$window" y
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.3
  timeout 5 xdotool key --window "$window" n 2>/dev/null
done
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the program ended with $rc"
grep -q '^init 1$' "$log" || fail "the start did not run the window"
grep -q '^engine joined 1$' "$log" || fail "the algorithm engine's threads did not join"
echo "edit page: the photo opened, zoomed by the wheel, panned by drags with and without Space, undone and redone, and came back from the album's tab as it was; every capture equal to the display picture"
