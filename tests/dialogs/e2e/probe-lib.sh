# Sourced by the sessions of adjust_dialog_probe inside the virtual X
# server: the scratch folder, the probe's log, waiting for its lines, the
# driver's keys, starting the probe on a photo and closing it.
# Needs: probe, photo set by the caller.
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/find-window.sh"
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
# Waits up to 20 s (or the seconds given) for a new line of the log that
# matches, after the count of such lines given first.
wait_new() {
  local tries=$((${3:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    [[ $(grep -c "$2" "$log") -gt $1 ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ $(grep -c "$2" "$log") -gt $1 ]]
}
# Presses a driver key and reads the line it writes.
ask() {
  local count
  count=$(grep -c "$2" "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" "$1"
  wait_new "$count" "$2" || fail "no answer to $1"
  grep "$2" "$log" | tail -n 1
}
# The layer: the current step, the largest difference from the photo as
# opened and from the result kept by F11 (-1 without one); of the current
# step whether it is named as the curves step, its type and block size.
layer() { read -r _ _ step _ diff _ result _ named _ steptype _ blocksize < <(ask F7 '^layer'); }
# The window's capture of the after view equals its back-buffer pixels.
after_as_drawn() {
  [[ "$dumped" == dumped ]] || fail "$1: the after view's pixels were not dumped"
  timeout 20 import -window "$window" -crop "${aw}x${ah}+${ax}+${ay}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  cmp -s "$work/dump.rgb" "$work/screen.rgb" || fail "$1: the capture of the after view differs from the back buffer"
}
# Starts the probe on the photo and waits for its window and the photo.
start_probe() {
  mkdir -p "$work/home/Pictures" "$work/config" "$work/etc" "$work/tmp"
  touch "$log"
  HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
    "$probe" "$log" "$work/dump.rgb" "$photo" > "$work/output" 2>&1 &
  pid=$!
  wait_new 0 '^opened' 120 || fail "the photo did not open"
  find_window '^Tessera$'
  [[ -n "$window" ]] || fail "no window named 'Tessera'"
  timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
}

# Closes the window by its close button: Yes to closing, No to saving; the
# probe must end with 0 and its engine's threads joined.
close_probe() {
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
  wait_new 0 '^close asked$' 10 || fail "the close button did not ask to close"
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
  grep -q '^engine joined 1$' "$log" || fail "the algorithm engine's threads did not join"
}
