#!/usr/bin/env bash
# The part of the picker test that runs inside the virtual X server.
set -u
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"
shots=${PICKER_PROBE_SHOTS:-}

open_probe '^ready$' '^Tessera picker probe$' "$probe" "$log"
wait_for '^activate 1$' || fail "no activation"

# The picker: the wheel's centre is a grey at lightness 32768, just beyond
# the rim on the right full red, the bar's ends black and white, then the
# grey swatch.
press p
wait_for '^picker shown$' || fail "the picker did not open"
wait_for '^colour 1000 2000 6000 ffff$' || fail "the picker does not start with the caller's colour"
sleep 0.3
shot picker-start
click_place wheel
wait_for '^colour 8000 8000 8000 ffff$' || fail "the wheel's centre: $(last colour)"
click_place rim
wait_for '^colour ffff 0000 0000 ffff$' || fail "beyond the rim: $(last colour)"
shot picker-red
click_place 'bar top'
wait_for '^colour 0000 0000 0000 ffff$' || fail "the bar's top: $(last colour)"
click_place 'bar bottom'
wait_for '^colour ffff ffff ffff ffff$' || fail "the bar's bottom: $(last colour)"
click_place 'grey swatch'
wait_for '^colour 7fff 7fff 7fff ffff$' || fail "the grey swatch: $(last colour)"

# The colour-code dialog opens with the colour as it is shown; a typed
# code comes back as the picker's colour.
click_place 'code button'
wait_for '^code shown$' || fail "the colour-code dialog did not open"
wait_for '^code text #BCBCBC$' || fail "the code dialog's first text: $(last 'code text')"
shot code-dialog
press ctrl+a
timeout 10 xdotool type --delay 60 '0,0,255'
wait_for '^code text 0,0,255$' || fail "typing a code: $(last 'code text')"
press Return
wait_for '^colour 0000 0000 ffff ffff$' || fail "the typed code: $(last colour)"
shot picker-blue
click_place ok
wait_for '^picker result 0000 0000 ffff ffff$' || fail "OK: $(last 'picker result')"

# The lock-ratio dialog: a preset added through the menu and the name
# dialog is written to the maker folder; the lock box then locks 4 : 3.
press l
wait_for '^ratio shown$' || fail "the lock-ratio dialog did not open"
sleep 0.3
shot ratio
click_place presets
wait_for '^menu shown$' || fail "the preset menu did not open"
sleep 0.3
shot ratio-menu
read -r _ _ x y _ <<<"$(grep '^row 0 ' "$log" | tail -n 1)"
[[ -n "${x:-}" ]] || fail "no first row"
click_at "$x" "$y"
wait_for '^name shown$' || fail "choosing 'Add to preset' asked no name"
timeout 10 xdotool type --delay 60 'Four by three'
press Return
file="$work/config/Varnel Softwares/lockratio.set"
for _ in $(seq 1 50); do [[ -f "$file" ]] && break; sleep 0.1; done
[[ -f "$file" ]] || fail "no preset file in the maker folder"
[[ $(stat -c %s "$file") -eq 74 ]] || fail "the preset file holds $(stat -c %s "$file") bytes, not 2 + 72"
head -c 2 "$file" | od -An -tu2 | grep -qw 72 || fail "the record size is not 72"
click_place lock
sleep 0.3
click_place ok
wait_for '^ratio result 1 1 4 3$' || fail "the ratio dialog's answer: $(last 'ratio result')"

press_until_end Escape
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "picker probe: wheel, bar, swatch and colour code; a ratio preset written through the menu"
