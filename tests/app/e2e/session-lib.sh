# Shared by the program's end-to-end sessions (sourced): a work folder with
# a private home, config and temporary folder, the program beside a copy of
# the data folder with the debug log switched on, and helpers that wait for
# the log, find the window and count colours in it. The caller sets program,
# data and texttable first and may add to cleanup through extra_cleanup.
work=$(mktemp -d)
log=$work/debug.log
pid=
extra_cleanup=:
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  $extra_cleanup
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- debug log:"
  cat "$log" 2>/dev/null
  echo "--- program output:"
  cat "$work/output" 2>/dev/null
  exit 1
}

mkdir -p "$work/bin" "$work/home/Pictures" "$work/config/Tessera" "$work/etc" "$work/tmp"
ln "$program" "$work/bin/tessera" 2>/dev/null || cp "$program" "$work/bin/tessera" || fail "cannot copy the program"
cp -rL "$data" "$work/bin/data" || fail "cannot copy the data folder"
"$texttable" decode "$data/basic/resource.txt" > "$work/resource.utf8" || fail "cannot read the base texts"
echo "\"logpath\"=\"$log\"" >> "$work/resource.utf8"
"$texttable" encode "$work/resource.utf8" "$work/bin/data/basic/resource.txt" || fail "cannot write the base texts"

# Starts the program with the arguments in the private folders; extra
# environment settings come before it as NAME=value words in run_env.
run_env=()
start_program() {
  env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc" TMPDIR="$work/tmp" \
    "${run_env[@]}" "$work/bin/tessera" "$@" > "$work/output" 2>&1 &
  pid=$!
}

# Waits up to 20 s (or the seconds given) for a line of the log.
wait_for() {
  local tries=$((${2:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log" 2>/dev/null
}

# The visible window titled as given, into window (searched again and again:
# xdotool gives up on an X error from a window that went away during its
# search, and the program's start makes short-lived ones).
find_window() {
  window=
  for _ in $(seq 1 60); do
    window=$(timeout 10 xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [[ -n "$window" ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  return 1
}

# The number of colours in a rectangle of the window.
colours() {
  timeout 20 import -window "$window" -crop "$3x$4+$1+$2" +repage "$work/part.png" ||
    fail "import could not capture the window"
  convert "$work/part.png" -format '%k' info:
}

# Waits up to 10 s for a message box in the middle of the window (the
# rectangle there gains colours).
wait_for_box() {
  local x=$((WIDTH / 2 - 60)) y=$((HEIGHT / 2 - 30))
  for _ in $(seq 1 50); do
    [[ $(colours "$x" "$y" 120 60) -gt $((plain + 4)) ]] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
# The colours of that rectangle while no box shows, for wait_for_box.
measure_plain() {
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  plain=$(colours $((WIDTH / 2 - 60)) $((HEIGHT / 2 - 30)) 120 60)
}

# Closes the window by its close button and answers Yes; the exit status
# into rc.
close_with_yes() {
  timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
    timeout 5 xdotool key --window "$window" y 2>/dev/null
  done
  wait "$pid"
  rc=$?
  pid=
}
