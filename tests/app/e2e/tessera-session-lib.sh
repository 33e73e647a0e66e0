# Sourced by the end-to-end sessions that run the real tessera under a
# virtual X server: a scratch world (program, its data folder with the debug
# log switched on, home, config home, temporary folder) and small helpers.
# Needs: program, data, texttable set by the caller.

work=$(mktemp -d)
log=$work/debug.log
pid=
window=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
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

# The program beside a copy of the data folder whose base texts log to $log.
prepare_program() {
  mkdir -p "$work/bin" "$work/home/Pictures" "$work/config/Tessera" "$work/etc" "$work/tmp"
  ln "$program" "$work/bin/tessera" 2>/dev/null || cp "$program" "$work/bin/tessera" || fail "cannot copy the program"
  cp -rL "$data" "$work/bin/data" || fail "cannot copy the data folder"
  "$texttable" decode "$data/basic/resource.txt" > "$work/resource.utf8" || fail "cannot read the base texts"
  echo "\"logpath\"=\"$log\"" >> "$work/resource.utf8"
  "$texttable" encode "$work/resource.utf8" "$work/bin/data/basic/resource.txt" || fail "cannot write the base texts"
}

# config.dat: version 1, no favourites, the album folder, no search folders.
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

# Starts the program in the scratch world and finds its window.
start_program() {
  HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/etc TMPDIR=$work/tmp \
    "$work/bin/tessera" >> "$work/output" 2>&1 &
  pid=$!
  window=
  for _ in $(seq 1 60); do
    window=$(timeout 10 xdotool search --onlyvisible --name "${1:-^Tessera$}" 2>/dev/null | head -n 1)
    [[ -n "$window" ]] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  [[ -n "$window" ]] || fail "no window"
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

# Waits until a line of the log has appeared count times.
wait_count() {
  local tries=$((${3:-20} * 10))
  for _ in $(seq 1 "$tries"); do
    [[ $(grep -c "$1" "$log" 2>/dev/null) -ge $2 ]] && return 0
    sleep 0.1
  done
  return 1
}

# The number of colours in a rectangle of the window.
colours() {
  timeout 20 import -window "$window" -crop "$3x$4+$1+$2" +repage "$work/part.png" ||
    fail "import could not capture the window"
  convert "$work/part.png" -format '%k' info:
}

# Closes the window through its close button and the question's Y.
close_program() {
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
    timeout 5 xdotool key --window "$window" y 2>/dev/null
  done
  wait "$pid"
  local rc=$?
  pid=
  [[ $rc -eq 0 ]] || fail "the program ended with $rc"
}
