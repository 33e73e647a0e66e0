#!/usr/bin/env bash
# The part of the JPEG save test that runs inside the virtual X server: the
# save chooser's JPEG tile, "Adjust to a file size..." with 300 KB typed,
# OK, a typed path; the file is at most 300 KB with the photo's information.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/probe-lib.sh"

# The top dialog as the driver sees it (F9), until its line matches.
top_until() {
  local line
  for _ in $(seq 1 "${2:-100}"); do
    line=$(ask F9 '^top')
    [[ "$line" =~ $1 ]] && { echo "$line"; return 0; }
    sleep 0.3
  done
  return 1
}
# The JPEG options once no preview runs.
options_idle() {
  read -r _ _ _ quality _ jobs _ saving _ encoded _ ax ay _ okx oky < <(
    top_until '^top jpeg .* jobs 0 saving 0' 300) || fail "the JPEG options did not settle: $(grep '^top' "$log" | tail -n 1)"
}
type_answer() {
  sleep 0.5
  timeout 10 xdotool key --window "$window" ctrl+a
  timeout 10 xdotool type --window "$window" --delay 50 "$1"
  timeout 10 xdotool key --window "$window" Return
}

start_probe
target=$work/home/Pictures/small.jpg
timeout 10 xdotool key --window "$window" F5
read -r _ _ _ tx ty < <(top_until '^top chooser') || fail "the save chooser did not open"
timeout 10 xdotool mousemove --window "$window" "$tx" "$ty" click 1
options_idle
first=$quality
timeout 10 xdotool mousemove --window "$window" "$ax" "$ay" click 1
top_until '^top other' > /dev/null || fail "the file-size question did not open"
type_answer 300
options_idle
[[ $quality -lt $first ]] || fail "adjusting to 300 KB left the quality at $quality"
timeout 10 xdotool mousemove --window "$window" "$okx" "$oky" click 1
top_until '^top other' > /dev/null || fail "the path question did not open"
type_answer "$target"
wait_new 0 '^save 1' 200 || fail "the save did not end with a saved photo: $(grep '^save\|^top' "$log" | tail -n 2)"
[[ -f "$target" ]] || fail "no file at $target"
size=$(stat -c %s "$target")
[[ $size -le $((300 * 1024)) ]] || fail "the file has $size bytes, more than 300 KB"
[[ $size -ge $((150 * 1024)) ]] || fail "the file has only $size bytes for 300 KB"
if command -v exiftool > /dev/null; then
  want=$(exiftool -q -q -m -T -n -IFD0:Make -IFD0:Model -ExifIFD:DateTimeOriginal "$photo")
  got=$(exiftool -q -q -m -T -n -IFD0:Make -IFD0:Model -ExifIFD:DateTimeOriginal "$target")
  [[ "$got" == "$want" ]] || fail "the photo's information is \"$got\", not \"$want\""
fi
[[ $(ls -A "$work/home/Pictures" | wc -l) -eq 1 ]] || fail "a temporary file was left: $(ls -A "$work/home/Pictures")"
close_probe
echo "JPEG save: the chooser's JPEG tile, 300 KB typed after \"Adjust to a file size...\" lowered the quality from $first to $quality, OK and a typed path wrote $size bytes with the photo's information"
