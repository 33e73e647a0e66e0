#!/usr/bin/env bash
# The part of the clipboard test that runs inside the virtual X server.
set -u
probe=$1
work=$(mktemp -d)
log=$work/log
pid=
owner=
cleanup() {
  exec 3>&- 2>/dev/null
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  [[ -n "$owner" ]] && kill "$owner" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe log:"
  cat "$log"
  exit 1
}

# Sends a command and waits up to 15 s for its answer (the n-th line that
# starts with the command's name); the answer goes to $answer.
count() { grep -c "^$1" "$log"; }
ask() {
  local name=${1%% *} before
  before=$(count "$name")
  echo "$1" >&3
  for _ in $(seq 1 150); do
    if [[ $(count "$name") -gt $before ]]; then
      answer=$(grep "^$name" "$log" | tail -n 1)
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || fail "the probe ended during '$1'"
    sleep 0.1
  done
  fail "no answer to '$1'"
}
clip_out() { timeout 10 xclip -selection clipboard -o "$@"; }
# xclip -i stays in the background serving the clipboard until another
# program takes it.
clip_in() { timeout 60 xclip -selection clipboard -i "$@" >/dev/null 2>&1; }

mkfifo "$work/commands"
touch "$log"
"$probe" "$log" <"$work/commands" &
pid=$!
exec 3>"$work/commands"
for _ in $(seq 1 100); do grep -q '^ready' "$log" && break; sleep 0.1; done
grep -q '^ready' "$log" || fail "the window did not open"

# A picture copied in the program comes out of xclip as a PNG, INCR for its
# size, with every pixel and its alpha; so does a BMP file.
ask "copy-image 640 480 $work/expected.rgba"
[[ $answer == "copy-image 1 1" ]] || fail "copy: $answer"
clip_out -t TARGETS >"$work/targets" || fail "xclip could not list the targets"
grep -qx 'image/png' "$work/targets" && grep -qx 'image/bmp' "$work/targets" ||
  fail "targets: $(tr '\n' ' ' <"$work/targets")"
clip_out -t image/png >"$work/copied.png" || fail "xclip could not read the picture"
[[ $(stat -c %s "$work/copied.png") -gt 262144 ]] || fail "the picture was too small to need INCR"
[[ $(head -c 8 "$work/copied.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "no PNG signature"
convert "$work/copied.png" -depth 8 "rgba:$work/copied.rgba" || fail "ImageMagick could not read the PNG"
cmp -s "$work/copied.rgba" "$work/expected.rgba" || fail "the PNG's pixels differ from the picture"
clip_out -t image/bmp >"$work/copied.bmp" && [[ $(head -c 2 "$work/copied.bmp") == BM ]] || fail "no BMP"
ask "size dib"
[[ $answer == "size dib $((40 + 640 * 480 * 4)) "* ]] || fail "own picture size: $answer"
# A second instance of the program pastes it too: INCR between two of ours.
printf 'paste-image %s\nquit\n' "$work/instance.rgba" | timeout 30 "$probe" "$work/instance.log" ||
  fail "the second instance failed: $(cat "$work/instance.log")"
grep -qx 'paste-image 640 480' "$work/instance.log" || fail "the second instance: $(cat "$work/instance.log")"
cmp -s "$work/instance.rgba" "$work/expected.rgba" || fail "the second instance pasted other pixels"

# A picture put there by xclip pastes into the program (INCR again).
convert -size 500x400 xc: +noise Random -alpha set -channel A -fx 'max(0.01,(i+j)/900)' +channel -depth 8 \
  "PNG32:$work/given.png" || fail "ImageMagick could not make a picture"
convert "$work/given.png" -depth 8 "rgba:$work/given.rgba"
clip_in -t image/png "$work/given.png" &
sleep 0.5
ask "size dib"
[[ $answer == "size dib $((40 + 500 * 400 * 4)) "* ]] || fail "xclip's picture size: $answer"
ask "paste-image $work/pasted.rgba"
[[ $answer == "paste-image 500 400" ]] || fail "paste: $answer"
cmp -s "$work/pasted.rgba" "$work/given.rgba" || fail "the pasted pixels differ from xclip's picture"

# File lists, copied: the program's list comes out of xclip, and xclip's
# list pastes in as a copy.
from=$work/from
mkdir -p "$from" "$work/to1" "$work/to2" "$work/to3" "$work/to4"
for name in 'a#1' 'b%2' c d; do echo "$name" >"$from/$name.jpg"; done
uri_a="file://$from/a%231.jpg"
uri_b="file://$from/b%252.jpg"
uri_c="file://$from/c.jpg"
uri_d="file://$from/d.jpg"
ask "copy-files copy $from/a#1.jpg $from/b%2.jpg"
[[ $answer == "copy-files 1" ]] || fail "copy files: $answer"
[[ "$(clip_out -t text/uri-list)" == "$(printf '%s\r\n%s\r' "$uri_a" "$uri_b")" ]] ||
  fail "uri-list: $(clip_out -t text/uri-list | od -c | head)"
[[ "$(clip_out -t x-special/gnome-copied-files)" == "$(printf 'copy\n%s\n%s' "$uri_a" "$uri_b")" ]] ||
  fail "copied files: $(clip_out -t x-special/gnome-copied-files)"
[[ "$(clip_out -t UTF8_STRING)" == "$(printf '%s\n%s' "$from/a#1.jpg" "$from/b%2.jpg")" ]] || fail "paths as text"
printf 'copy\n%s\n%s' "$uri_c" "$uri_d" | clip_in -t x-special/gnome-copied-files &
sleep 0.5
ask "paste-files $work/to1"
[[ $answer == "paste-files pasted 1 emptied 1 mode copy done 2 kept 0 failed 0" ]] || fail "paste copied: $answer"
[[ $(cat "$work/to1/c.jpg") == c && $(cat "$work/to1/d.jpg") == d && -e "$from/c.jpg" ]] || fail "not copied"

# Cut: the program's cut comes out as "cut" and its own paste moves the file;
# xclip's cut moves too; a second paste after either does nothing. A list
# without the GNOME target is copied.
ask "copy-files cut $from/a#1.jpg"
[[ "$(clip_out -t x-special/gnome-copied-files)" == "$(printf 'cut\n%s' "$uri_a")" ]] ||
  fail "cut files: $(clip_out -t x-special/gnome-copied-files)"
ask "paste-files $work/to2"
[[ $answer == "paste-files pasted 1 emptied 1 mode move done 1 kept 0 failed 0" ]] || fail "paste own cut: $answer"
[[ -e "$work/to2/a#1.jpg" && ! -e "$from/a#1.jpg" ]] || fail "the program's cut did not move"
ask "paste-files $work/to3"
[[ $answer == "paste-files pasted 0 "* ]] || fail "second paste of the program's cut: $answer"
clip_out -t TARGETS >/dev/null 2>&1 && fail "the clipboard was not emptied"
printf 'cut\n%s\n' "$uri_c" | clip_in -t x-special/gnome-copied-files &
sleep 0.5
ask "paste-files $work/to2"
[[ $answer == "paste-files pasted 1 emptied 1 mode move done 1 kept 0 failed 0" ]] || fail "paste xclip's cut: $answer"
[[ -e "$work/to2/c.jpg" && ! -e "$from/c.jpg" ]] || fail "xclip's cut did not move"
ask "paste-files $work/to3"
[[ $answer == "paste-files pasted 0 "* ]] || fail "second paste of xclip's cut: $answer"
[[ -z "$(ls -A "$work/to3")" ]] || fail "a second paste placed files"
printf '%s\r\n' "$uri_d" | clip_in -t text/uri-list &
sleep 0.5
ask "paste-files $work/to4"
[[ $answer == "paste-files pasted 1 emptied 1 mode copy done 1 kept 0 failed 0" && -e "$from/d.jpg" ]] ||
  fail "a plain uri-list: $answer"

# Malformed uri-lists are refused: nothing pasted, the list left where it is.
rm -f "$work/to4/d.jpg"
for list in "http://example.org/d.jpg" "file://elsewhere$from/d.jpg" "file://$from/d%00.jpg" \
  "file://$from/d%0A.jpg" "$(printf 'file://%s/d\001.jpg' "$from")" "$uri_d?x" "$from/d.jpg"; do
  printf '%s\r\n%s\r\n' "$uri_b" "$list" | clip_in -t text/uri-list &
  sleep 0.5
  ask "size hdrop"
  [[ $answer == "size hdrop 0 "* ]] || fail "'$list' was read: $answer"
  ask "paste-files $work/to4"
  [[ $answer == "paste-files pasted 0 "* ]] || fail "'$list' was pasted: $answer"
  clip_out -t text/uri-list >/dev/null || fail "the refused list '$list' was taken away"
done
[[ -z "$(ls -A "$work/to4")" ]] || fail "a malformed list placed files"

# Text through SDL, both ways.
printf 'h\xc3\xa9llo w\xc3\xb6rld' | clip_in &
sleep 0.5
ask "paste-text"
[[ $answer == "paste-text héllo wörld" ]] || fail "text from xclip: $answer"
ask "copy-text Grüße aus Köln"
[[ "$(clip_out)" == "Grüße aus Köln" ]] || fail "text to xclip: $(clip_out)"
ask "size dib"
[[ $answer == "size dib 0 "* ]] || fail "text holds a picture: $answer"

# Another program that never answers: each read gives up after its timeout.
"$probe" --silent-owner >"$work/owner" &
owner=$!
for _ in $(seq 1 50); do grep -q owner "$work/owner" && break; sleep 0.1; done
grep -q owner "$work/owner" || fail "the silent owner did not start"
ask "size dib"
read -r _ _ size _ ms <<<"$answer"
[[ $size == 0 && $ms -ge 2500 && $ms -lt 10000 ]] || fail "reading a silent owner: $answer"
ask "paste-files $work/to4"
[[ $answer == "paste-files pasted 0 "* ]] || fail "pasting from a silent owner: $answer"
kill "$owner"
owner=

echo quit >&3
exec 3>&-
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "clipboard probe: pictures both ways with INCR, file lists copied and cut, malformed lists refused, text, timeouts"
