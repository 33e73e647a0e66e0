#!/usr/bin/env bash
# The part of the colour range test that runs inside the virtual X server.
set -u
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../app/e2e/session-lib.sh"
shots=${COLOR_RANGE_PROBE_SHOTS:-}

# Presses at a logged place, moves by dx in steps and releases.
drag_by() {
  local x y points=()
  read -r x y <<<"$(place "$1")"
  [[ -n "$x" ]] || fail "no place for '$1'"
  local to
  for step in 1 2 3 4; do
    to=$((x + $2 * step / 4))
    ((to < 1)) && to=1  # the window's left edge; the drag goes on beyond the bar
    points+=("$to" "$y")
  done
  drag "$x" "$y" "${points[@]}"
}
handles() { last 'handles ' | cut -d' ' -f2-5; }

open_probe '^ready$' '^Tessera range probe$' "$probe" "$log"
wait_for '^activate 1$' || fail "no activation"

# The colour range dialog: the selector takes the mouse only once the hue
# box is ticked; then handle 3 goes right and handle 0 left, each held by
# its neighbours and the bar.
press r
wait_for '^range shown$' || fail "the colour range dialog did not open"
wait_for '^selector enabled 0$' || fail "the selector is on before the hue box is ticked"
sleep 0.3
shot range-start
[[ $(handles) == "35000 39000 43000 46000" ]] || fail "a new selector: $(handles)"
click_place 'hue box'
wait_for '^selector enabled 1$' || fail "ticking the hue box left the selector off"
drag_by 'handle 3' 60
wait_for '^handles 35000 39000 43000 [0-9][0-9]* ' || fail "no drag of handle 3: $(handles)"
read -r h0 h1 h2 h3 <<<"$(handles)"
((h3 > 50000)) || fail "handle 3 moved to $h3 only"
drag_by 'handle 0' -600
wait_for '^handles 0 39000 ' || fail "handle 0 dragged beyond the bar's left end: $(handles)"
shot range-dragged

# The Skin preset sets the band and the marker and ticks the midtones.
click_place presets
wait_for '^menu shown$' || fail "the preset menu did not open"
read -r _ _ x y _ <<<"$(grep ' Skin$' "$log" | grep '^row ' | tail -n 1)"
[[ -n "${x:-}" ]] || fail "no Skin row"
sleep 0.2
click_at "$x" "$y"
wait_for '^handles 14563 16803 24925 29966 marker 18204$' || fail "the Skin preset: $(last 'handles ')"

# The preview: the mask style shows the mask at once.
click_place 'mask style'
wait_for '^preview style 1 width 360$' || fail "the mask style showed no preview: $(last 'preview ')"
sleep 0.5
shot range-mask
click_place ok
wait_for '^range result 1 selected [1-9][0-9]*$' || fail "OK: $(last 'range result')"

# The brush dialog: the size slider's track pressed near its left end
# makes the brush small, and the preview follows.
press b
wait_for '^brush shown$' || fail "the brush dialog did not open"
wait_for '^brush size 20 preview [0-9][0-9]*$' || fail "the brush's start: $(last 'brush size')"
sleep 0.3
shot brush
click_place 'size track'
wait_for '^brush size [1-9] preview ' || fail "the size track: $(last 'brush size')"
click_place ok
wait_for '^brush result 1 [1-9] 50 100$' || fail "the brush's answer: $(last 'brush result')"

# The about box closes at the first click.
press a
wait_for '^about shown$' || fail "the about box did not open"
sleep 0.6
shot about
click_at 300 300
wait_for '^about closed 1$' || fail "a click left the about box open"

press_until_end Escape
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "colour range probe: handles dragged, Skin chosen, mask preview, selection made; brush sized; about box closed"
