#!/usr/bin/env bash
# The part of the paint and lasso test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/edit-probe-lib.sh"

# F11: the tool buttons, the image rectangle, the tool, step, selection, sum.
tools() {
  ask F11 '^tools'
  read -r _ _ px py _ lx ly _ ix iy iw ih _ tool _ step _ selected _ sum <<< "$answer"
}

open_edit_probe "$photo"

tools
[[ $px -gt 0 && $lx -gt 0 && $iw -gt 100 ]] || fail "no tool buttons or image ($px $lx $iw)"
step0=$step
sum0=$sum
timeout 20 import -window "$window" "$work/before.png"

# The free paint tool: a stroke across the middle of the photo.
click_at "$px" "$py"
tools
[[ $tool -eq 16 ]] || fail "the free paint tool is not current (tool $tool)"
cy=$((iy + ih / 2))
drag $((ix + iw / 5)) $cy $((ix + iw * 2 / 5)) $((cy - 20)) $((ix + iw * 3 / 5)) $((cy + 20)) $((ix + iw * 4 / 5)) $cy
tools
[[ $step -eq $((step0 + 1)) ]] || fail "the stroke made no step (step $step, was $step0)"
[[ $sum != "$sum0" ]] || fail "the stroke did not change the layer"
timeout 20 import -window "$window" "$work/painted.png"
[[ $(compare -metric AE "$work/before.png" "$work/painted.png" null: 2>&1) != 0 ]] ||
  fail "the window did not show the stroke"

# The lasso: a loop round the upper left part of the photo.
click_at "$lx" "$ly"
tools
[[ $tool -eq 13 ]] || fail "the lasso is not current (tool $tool)"
x0=$((ix + iw / 8)) y0=$((iy + ih / 8)) x1=$((ix + iw / 2)) y1=$((iy + ih / 2))
drag $x0 $y0 $x1 $y0 $x1 $((y0 + (y1 - y0) / 2)) $x1 $y1 $((x0 + (x1 - x0) / 2)) $y1 $x0 $y1 $x0 $((y0 + 5))
tools
[[ $selected -gt 1000 ]] || fail "the lasso selected $selected pixels"
[[ $step -eq $((step0 + 1)) ]] || fail "the lasso made a step (step $step)"
timeout 20 import -window "$window" "$work/selected.png"
[[ $(compare -metric AE "$work/painted.png" "$work/selected.png" null: 2>&1) != 0 ]] ||
  fail "the window did not show the selection"

# Esc drops the tool; closed by the frame's close button: Yes, then No to saving.
timeout 10 xdotool key --window "$window" Escape
close_edit_probe
echo "paint and lasso: a free-paint stroke changed the layer as one step, a lasso selected $selected pixels without a step, and the window showed both"
