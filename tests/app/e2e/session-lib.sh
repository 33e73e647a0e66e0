# Shared by the end-to-end sessions under a virtual X server (sourced): a
# work folder with a private home, config and temporary folder, and helpers
# that start a program there, wait for its log, find its window, count
# colours in it, press keys and drag in it, answer its message boxes and
# close it. A session of the real tessera sets program, data and texttable
# first: the program then runs beside a copy of the data folder with the
# debug log switched on. A probe's session sets none of them and passes
# $log to its probe. The caller may add to cleanup through extra_cleanup.
work=$(mktemp -d)
log=$work/debug.log
pid=
window=
extra_cleanup=:
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  $extra_cleanup
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- log:"
  cat "$log" 2>/dev/null
  echo "--- output:"
  cat "$work/output" 2>/dev/null
  exit 1
}

mkdir -p "$work/bin" "$work/home/Pictures" "$work/config/Tessera" "$work/etc" "$work/tmp"
if [[ -n "${program:-}" ]]; then
  ln "$program" "$work/bin/tessera" 2>/dev/null || cp "$program" "$work/bin/tessera" || fail "cannot copy the program"
  cp -rL "$data" "$work/bin/data" || fail "cannot copy the data folder"
  "$texttable" decode "$data/basic/resource.txt" > "$work/resource.utf8" || fail "cannot read the base texts"
  echo "\"logpath\"=\"$log\"" >> "$work/resource.utf8"
  "$texttable" encode "$work/resource.utf8" "$work/bin/data/basic/resource.txt" || fail "cannot write the base texts"
else
  # A probe opens the log only once it runs; counting its lines starts at 0.
  touch "$log"
fi

# config.dat: version 1, no favourites, the album folder given, no search
# folders.
write_config() {
  local root=$1
  utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; }
  {
    printf '\001\000\000'
    printf "\\$(printf '%03o' $((${#root} & 255)))\\$(printf '%03o' $((${#root} >> 8)))"
    utf16 "$root"
    printf '\000\000'
  } > "$work/config/Tessera/config.dat" || fail "cannot write config.dat"
}

# Starts the command (a program and its arguments) in the private folders,
# its process id into pid; extra environment settings come before it as
# NAME=value words in run_env. The output of every run is kept in
# $work/output.
run_env=()
start_command() {
  env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc" TMPDIR="$work/tmp" \
    "${run_env[@]}" "$@" >> "$work/output" 2>&1 &
  pid=$!
}

# Starts the program with the arguments in the private folders.
start_program() { start_command "$work/bin/tessera" "$@"; }

# start_program, then find_window for a title starting with "Tessera";
# fails without a window.
open_program() {
  start_program "$@"
  find_window '^Tessera' || fail "no window"
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

# Waits up to 20 s (or the seconds given) until a line of the log has
# appeared count times: wait_count <pattern> <count> [seconds].
wait_count() {
  local tries=$((${3:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    [[ $(grep -c "$1" "$log" 2>/dev/null) -ge $2 ]] && return 0
    sleep 0.1
  done
  return 1
}

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/find-window.sh"

# The number of colours in a rectangle of the window: colours x y w h.
# After three failed captures a word no comparison takes: under set -u the
# session ends there, with the reason on stderr.
colours() {
  for _ in 1 2 3; do
    if timeout 20 import -window "$window" -crop "$3x$4+$1+$2" +repage "$work/part.png" 2>/dev/null; then
      convert "$work/part.png" -format '%k' info:
      return
    fi
    sleep 0.3
  done
  echo "FAIL: import could not capture the window" >&2
  echo uncaptured
  return 1
}

# Clicks a point of the window and gives the program time to take it.
click_at() {
  timeout 10 xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.3
  timeout 10 xdotool click 1
  sleep 0.5
}

# The colours of the rectangle in the middle of the window while no box
# shows, for wait_for_box and wait_box_gone.
measure_plain() {
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  plain=$(colours $((WIDTH / 2 - 60)) $((HEIGHT / 2 - 30)) 120 60)
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
# Waits up to 10 s for the middle of the window to be plain again.
wait_box_gone() {
  local x=$((WIDTH / 2 - 60)) y=$((HEIGHT / 2 - 30))
  for _ in $(seq 1 50); do
    [[ $(colours "$x" "$y" 120 60) -le $((plain + 4)) ]] && return 0
    sleep 0.2
  done
  return 1
}

# Presses the key in the window until the program has ended (up to 10 s);
# its exit status into rc.
press_until_end() {
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
    timeout 5 xdotool key --window "$window" "$1" 2>/dev/null
  done
  wait "$pid"
  rc=$?
  pid=
}

# Closes the window by its close button and answers Yes; the exit status
# into rc.
close_with_yes() {
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
  press_until_end y
}

# close_with_yes, failing unless the program ended with status 0.
close_program() {
  close_with_yes
  [[ $rc -eq 0 ]] || fail "the program ended with $rc"
}

# Starts a probe in the private folders and waits up to 120 s for the log
# line that says it is ready, then finds its window by title and gives it
# the focus: open_probe <line> <title> <probe and its arguments>.
open_probe() {
  local ready=$1 title=$2
  shift 2
  start_command "$@"
  wait_for "$ready" 120 || fail "no '$ready' line in the log"
  find_window "$title" || fail "no window titled '$title'"
  timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
}

# Presses a key in the window and waits up to 10 s for a new line of the
# log that matches the pattern; that line into answer: ask <key> <pattern>.
answer=
ask() {
  local before
  before=$(grep -c "$2" "$log")
  sleep 0.5
  timeout 10 xdotool key --window "$window" "$1"
  wait_count "$2" $((before + 1)) 10 || fail "no '$2' line after $1"
  answer=$(grep "$2" "$log" | tail -n 1)
}

# Presses keys in the window and gives the program time to take them.
press() {
  timeout 10 xdotool key --window "$window" --delay 60 "$@"
  sleep 0.4
}

# Drags with the left button from the first point through the others (x y
# pairs), stopping halfway to each, and releases.
drag() {
  local x=$1 y=$2
  timeout 10 xdotool mousemove --window "$window" "$x" "$y"
  sleep 0.3
  timeout 10 xdotool mousedown 1
  sleep 0.2
  shift 2
  while [[ $# -ge 2 ]]; do
    timeout 10 xdotool mousemove --window "$window" $(((x + $1) / 2)) $(((y + $2) / 2))
    sleep 0.1
    timeout 10 xdotool mousemove --window "$window" "$1" "$2"
    sleep 0.1
    x=$1 y=$2
    shift 2
  done
  sleep 0.1
  timeout 10 xdotool mouseup 1
  sleep 0.3
}

# With shots set to a folder, keeps a capture of the window there under
# the name given.
shots=${shots:-}
shot() {
  [[ -n "$shots" ]] || return 0
  mkdir -p "$shots" && timeout 20 import -window "$window" "$shots/$1.png"
  return 0
}

# The last line of the log that starts with the text.
last() { grep "^$1" "$log" | tail -n 1; }
# The window point a probe logged last for a part, as a line "NAME X Y".
place() { grep "^$1 [-0-9]* [-0-9]*$" "$log" | tail -n 1 | awk '{print $(NF-1), $NF}'; }
# Clicks the point a probe logged for a part; fails without one.
click_place() {
  local x y
  read -r x y <<<"$(place "$1")"
  [[ -n "$x" ]] || fail "no place for '$1'"
  click_at "$x" "$y"
}
