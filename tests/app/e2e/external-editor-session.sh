#!/usr/bin/env bash
# The part of the external-editor test that runs inside the virtual X server.
set -u
program=$1
data=$2
texttable=$3
fakeservice=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session-lib.sh"

# The host's exchange file: 4 x 2 pixels, 3 channels of 16 bits.
exchange=$work/host/photo.bin
mkdir -p "$work/host"
{
  printf '\004\000\000\000\002\000\000\000\003'
  for _ in $(seq 1 8); do printf '\377\177\000\200\377\377'; done
} > "$exchange"

start_program i0 "$exchange"
find_window '^Tessera' || fail "no window in external-editor mode"
wait_for '^[-0-9]* Tools Init OK' || fail "the start-up stages did not end"
grep -q 'Album Init OK' "$log" && fail "external-editor mode made an album"
for _ in $(seq 1 50); do
  [[ -e "$exchange" ]] || break
  sleep 0.1
done
[[ -e "$exchange" ]] && fail "the exchange file was not taken in"
# The photo's tab title on the tab strip (from x 150 of the frame at 2, 40);
# a loaded machine may take a while to draw it.
for _ in $(seq 1 100); do
  [[ $(colours 152 44 100 24) -gt 10 ]] && break
  sleep 0.1
done
[[ $(colours 152 44 100 24) -gt 10 ]] || fail "no tab for the host's photo"
measure_plain
close_with_yes
[[ $rc -eq 0 ]] || fail "external-editor mode ended with $rc"
echo "tessera i0 took the host's exchange file into a tab of a window without album and closed with status 0"

# A host's photo of a narrow range of greys: automatic levels from the
# exposure menu stretch it; closing its tab asks "pluginapplyask", whose Yes
# hands the picture back into the file and ends the run with status 0,
# leaving config.dat as it was (a missing one is written at the start).
python3 - "$exchange" <<'PYTHON' || fail "cannot write the exchange file"
import struct, sys
width, height = 64, 48
rows = b"".join(struct.pack("<HHH", 16384 + 128 * x, 16384 + 128 * x, 16384 + 64 * y)
                for y in range(height) for x in range(width))
open(sys.argv[1], "wb").write(struct.pack("<iiB", width, height, 3) + rows)
PYTHON
write_config "$work/home/Pictures"
touch -d '2001-02-03 04:05:06' "$work/config/Tessera/config.dat"
: > "$log"
open_program i0 "$exchange"
wait_for '^[-0-9]* Tools Init OK' || fail "the start-up stages did not end"
for _ in $(seq 1 100); do
  [[ $(colours 152 44 100 24) -gt 10 ]] && break
  sleep 0.1
done
measure_plain
# A host's page shows the exposure button first in the adjust column; L is
# automatic levels in its menu.
click_at 89 123
sleep 1
timeout 5 xdotool key --window "$window" l
sleep 1
# The tab's close button shows on the hovered title.
timeout 10 xdotool mousemove --window "$window" 200 56
sleep 0.5
click_at 262 55
wait_for_box || fail "closing the host's tab did not ask"
press_until_end y
[[ $rc -eq 0 ]] || fail "the hand-back ended with $rc"
[[ $(stat -c %Y "$work/config/Tessera/config.dat") == $(date -d '2001-02-03 04:05:06' +%s) ]] ||
  fail "the hand-back wrote config.dat"
python3 - "$exchange" <<'PYTHON' || fail "the host's file does not hold the levelled picture"
import struct, sys
data = open(sys.argv[1], "rb").read()
width, height, channels = struct.unpack_from("<iiB", data)
assert (width, height, channels) == (64, 48, 4), (width, height, channels)
samples = struct.unpack_from("<%dH" % (width * height * 4), data, 9)
assert len(data) == 9 + 8 * width * height, len(data)
assert all(a == 65535 for a in samples[3::4]), "alpha"
reds = samples[0:4 * width:4]
# The darkest grey, 16384 on the way in, is black now; the row still rises.
assert reds[0] < 1024 and reds[-1] > reds[0] + 8192, reds
assert all(a <= b for a, b in zip(reds, reds[1:])), reds
PYTHON
echo "a host's photo levelled from the exposure menu went back into its file on Yes to the tab's question: status 0, config.dat untouched"

# A normal run against the stand-in service, which offers 2.51.
: > "$log"
"$fakeservice" > "$work/service.port" &
service=$!
extra_cleanup="kill $service"
for _ in $(seq 1 50); do
  [[ -s "$work/service.port" ]] && break
  sleep 0.1
done
port=$(head -n 1 "$work/service.port")
[[ -n "$port" ]] || fail "the stand-in service gave no port"
# A stand-in xdg-open records what the program opens.
mkdir -p "$work/fakebin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' "$work/opened.txt" > "$work/fakebin/xdg-open"
chmod +x "$work/fakebin/xdg-open"
run_env=("TESSERA_SERVICE_PORT=$port" "PATH=$work/fakebin:$PATH")
start_program
find_window '^Tessera' || fail "no window"
wait_for '^[-0-9]* Tools Init OK' || fail "the start-up stages did not end"
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
plain=0
wait_for_box || fail "the newer version was not offered"
timeout 5 xdotool key --window "$window" n
for _ in $(seq 1 50); do
  grep -qi '^LastCheckVersion=dword:0*fb$' "$work/config/Tessera/settings.ini" 2>/dev/null && break
  sleep 0.1
done
grep -qi '^LastCheckVersion=dword:0*fb$' "$work/config/Tessera/settings.ini" ||
  fail "No did not store LastCheckVersion 251: $(cat "$work/config/Tessera/settings.ini")"
measure_plain
# The service's notice shows the album's notice item, after the eight big
# items of the tool strip; its click shows the message, and Yes opens the
# link.
wait_for '^[-0-9]* Album notice shown' || fail "the notice item did not appear"
read -r px py <<< "$(sed -n 's/^[-0-9]* Album page at \([0-9]*\) \([0-9]*\) .*/\1 \2/p' "$log" | head -n 1)"
[[ -n "$py" ]] || fail "the album page did not say where it is"
sleep 0.5
click_at $((px + 300 + 8 * 70 + 35)) $((py + 35))
wait_for_box || fail "the notice item's click showed no message"
timeout 5 xdotool key --window "$window" y
for _ in $(seq 1 50); do
  [[ -s "$work/opened.txt" ]] && break
  sleep 0.1
done
[[ "$(cat "$work/opened.txt" 2>/dev/null)" == "https://example.org/guide" ]] ||
  fail "Yes did not open the notice's link: $(cat "$work/opened.txt" 2>/dev/null)"
wait_box_gone || fail "the notice's box stayed"
close_with_yes
[[ $rc -eq 0 ]] || fail "the program ended with $rc"
echo "the stand-in service's version 2.51 was offered; No stored LastCheckVersion 251; its notice's item showed the message and Yes opened the link"
