#!/usr/bin/env bash
# The part of the edit test that runs inside the virtual X server.
set -u
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"
clip_out() { timeout 10 xclip -selection clipboard -o; }

# A layout with AltGr (ISO_Level3_Shift on the right Alt key) and dead keys.
setxkbmap -layout de || fail "setxkbmap could not load the German layout"

open_probe '^ready$' '^Tessera edit probe$' "$probe" "$log"
wait_for '^activate 1$' || fail "no activation"
[[ $(last 'textinput') == 'textinput 0' ]] || fail "text input was on without a field"
read -r _ fx fy <<<"$(last 'field ')"
read -r _ bx by <<<"$(last 'box ')"

# The field takes the focus: text input goes on.
click_at "$fx" "$fy"
wait_for '^focus field$' || fail "the click did not focus the field"
wait_for '^textinput 1$' || fail "text input did not go on with the field"

# AltGr+Q, AltGr+E and AltGr+7 give @, the euro sign and a brace; the dead
# acute and circumflex compose with the next letter.
press ISO_Level3_Shift+q ISO_Level3_Shift+e ISO_Level3_Shift+7 dead_acute e dead_circumflex a z
wait_for '^text 6 @€{éâz$' || fail "AltGr and dead keys: $(last 'text')"

# A character beyond the BMP is one character.
timeout 10 xdotool type --delay 100 '😀'
wait_for '^text 7 @€{éâz😀$' || fail "a character beyond the BMP: $(last 'text')"

# Text another program holds pastes in whole, and copies back out.
printf 'Gr\xc3\xbc\xc3\x9fe \xf0\x9f\x98\x80 \xe2\x9c\x93 \xe4\xb8\xad' | timeout 60 xclip -selection clipboard -i &
sleep 0.5
press ctrl+a ctrl+v
wait_for '^text 11 Grüße 😀 ✓ 中$' || fail "paste from xclip: $(last 'text')"
printf 'x' | timeout 60 xclip -selection clipboard -i &
sleep 0.5
press ctrl+a ctrl+c
sleep 0.5
[[ "$(clip_out)" == 'Grüße 😀 ✓ 中' ]] || fail "copy to xclip: $(clip_out)"

# A control that takes no text: text input goes off and typing changes nothing.
changes=$(grep -c '^text ' "$log")
click_at "$bx" "$by"
wait_for '^focus box$' || fail "the click did not focus the check box"
wait_for '^textinput 0$' || fail "text input stayed on"
press x y
sleep 0.5
[[ $(grep -c '^text ' "$log") -eq $changes ]] || fail "typing reached the field: $(last 'text')"
click_at "$fx" "$fy"
wait_count '^textinput 1$' 2 || fail "text input did not go on again"
press b
wait_for '^text 12 Grüße 😀 ✓ 中b$' || fail "typing after the focus came back: $(last 'text')"

press_until_end Escape
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "edit probe: AltGr and dead keys, a character beyond the BMP, paste from and copy to xclip, text input only with the field focused"
