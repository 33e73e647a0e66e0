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

# A normal run against the stand-in service, which offers 2.51.
rm -f "$log"
"$fakeservice" > "$work/service.port" &
service=$!
extra_cleanup="kill $service"
for _ in $(seq 1 50); do
  [[ -s "$work/service.port" ]] && break
  sleep 0.1
done
port=$(head -n 1 "$work/service.port")
[[ -n "$port" ]] || fail "the stand-in service gave no port"
run_env=("TESSERA_SERVICE_PORT=$port")
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
close_with_yes
[[ $rc -eq 0 ]] || fail "the program ended with $rc"
echo "the stand-in service's version 2.51 was offered; No stored LastCheckVersion 251"
