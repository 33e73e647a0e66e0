#!/usr/bin/env bash
# The part of the warp brush test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/edit-probe-lib.sh"
clip=
stop_clip() { [[ -z "$clip" ]] || kill "$clip" 2>/dev/null; }
extra_cleanup=stop_clip
# F8: the view and the display picture. The brush's mark follows the
# pointer over the canvas: it is left on the canvas beside the picture.
state() {
  if [[ -n "${ix:-}" ]]; then
    timeout 10 xdotool mousemove --window "$window" $((ix - 100)) $((iy + ih / 2))
    sleep 0.3
  fi
  ask F8 '^state'
  read -r _ dumped _ zoom _ sl st sr sb _ ix iy iw ih _ step _ current _ <<< "$answer"
}
# F4: the current tool, the step, the layer count and the current layer's
# box, once no warp runs or waits any more.
tools() {
  for _ in $(seq 1 20); do
    ask F4 '^strip'
    line=$answer
    read -r _ _ tool _ busy _ tstep _ layers _ bx0 by0 bx1 by1 _ <<< "$line"
    [[ $busy -eq 0 ]] && return 0
  done
  fail "the warp did not end"
}
# The window centre of a tool button or an option panel item into px, py:
# centre_of buttons|options <id>.
centre_of() {
  local rest
  if [[ $1 == buttons ]]; then
    rest=${line#*buttons}
    rest=${rest%%options*}
  else
    rest=${line##*options}
  fi
  local words i
  read -r -a words <<< "$rest"
  for ((i = 0; i + 2 < ${#words[@]}; i += 3)); do
    if [[ ${words[i]} == "$2" ]]; then
      px=${words[i + 1]}
      py=${words[i + 2]}
      return 0
    fi
  done
  fail "no $1 item $2 in: $line"
}
# Pictures that came back through the history may differ by a rounding (it
# keeps 12 bits of luminance), never more.
close_to() {
  local differing
  differing=$(compare -metric AE -fuzz 2% -size "${iw}x${ih}" -depth 8 "rgb:$1" "rgb:$2" null: 2>&1)
  [[ "$differing" == 0 ]]
}
# A stroke across the middle of the picture, in small steps.
stroke() {
  local y=$((iy + ih * $1 / 10)) x
  timeout 10 xdotool mousemove --window "$window" $((ix + iw * 3 / 10)) "$y"
  sleep 0.3
  timeout 10 xdotool mousedown 1
  for x in $(seq $((ix + iw * 3 / 10)) 12 $((ix + iw * 6 / 10))); do
    timeout 10 xdotool mousemove --window "$window" "$x" $((y + (x - ix) / 8 % 9))
    sleep 0.03
  done
  sleep 0.2
  timeout 10 xdotool mouseup 1
  sleep 0.3
}

open_edit_probe "$photo"

state
[[ $current -eq 1 && $step -eq 0 ]] || fail "the photo's page is not current at its first step"
same_as_display "opened"
cp "$work/dump.rgb" "$work/opened.rgb"

# The warp brush's button makes it current; a stroke pushes pixels.
tools
centre_of buttons 7
click_at "$px" "$py"
tools
[[ $tool -eq 7 ]] || fail "the warp brush's button made tool $tool current"
stroke 5
tools
state
close_to "$work/dump.rgb" "$work/opened.rgb" && fail "the stroke changed nothing"
same_as_display "warped"
cp "$work/dump.rgb" "$work/warped.rgb"

# The undo/redo toggle shows the picture before the stroke, then after it.
centre_of options 30002
toggle=("$px" "$py")
click_at "${toggle[@]}"
tools
state
cmp -s "$work/dump.rgb" "$work/opened.rgb" || fail "the toggle did not show the picture before the stroke"
same_as_display "toggled back"
click_at "${toggle[@]}"
tools
state
cmp -s "$work/dump.rgb" "$work/warped.rgb" || fail "the second toggle did not show the stroke again"
same_as_display "toggled again"

# The reset goes back to the last history step.
centre_of options 30003
click_at "$px" "$py"
tools
state
[[ $step -eq 0 ]] || fail "the reset left step $step"
close_to "$work/dump.rgb" "$work/opened.rgb" || fail "the reset did not bring the photo back"
same_as_display "reset"

# A second stroke, kept by leaving the tool: one history step.
stroke 4
tools
centre_of buttons 99999
click_at "$px" "$py"
tools
[[ $tool -eq 0 && $tstep -eq 1 ]] || fail "leaving the warp brush left tool $tool at step $tstep"
state
close_to "$work/dump.rgb" "$work/opened.rgb" && fail "the second stroke does not show"
same_as_display "kept"
cp "$work/dump.rgb" "$work/kept.rgb"

timeout 10 xdotool key --window "$window" ctrl+z
state
[[ $step -eq 0 ]] || fail "Ctrl+Z left step $step"
close_to "$work/dump.rgb" "$work/opened.rgb" || fail "Ctrl+Z did not bring the photo back"
same_as_display "undone"
sleep 0.2
timeout 10 xdotool key --window "$window" ctrl+y
state
[[ $step -eq 1 ]] || fail "Ctrl+Y left step $step"
close_to "$work/dump.rgb" "$work/kept.rgb" || fail "Ctrl+Y did not bring the stroke back"
same_as_display "redone"

# A picture pasted as a layer is made smaller by the free transform's
# corner and applied by a double click: one step, which Ctrl+Z takes back.
convert -size 1600x1200 gradient:'#e03020-#2040e0' "$work/paste.png" || fail "cannot make the picture"
xclip -selection clipboard -t image/png -i "$work/paste.png" &
clip=$!
sleep 0.5
timeout 10 xdotool key --window "$window" ctrl+v
sleep 1
tools
[[ $layers -eq 2 && $tstep -eq 2 ]] || fail "Ctrl+V gave $layers layers at step $tstep"
state
same_as_display "pasted"
cp "$work/dump.rgb" "$work/pasted.rgb"
pasted=("$bx0" "$by0" "$bx1" "$by1")
centre_of buttons 11
click_at "$px" "$py"
tools
[[ $tool -eq 11 ]] || fail "the free transform's button made tool $tool current"
# The first move after the button's click goes to the tools panel: the
# pointer rests on the canvas twice, the second time on the corner.
timeout 10 xdotool mousemove --window "$window" $((bx1 - 8)) $((by1 - 8))
sleep 0.3
timeout 10 xdotool mousemove --window "$window" $((bx1 - 1)) $((by1 - 1))
sleep 0.3
timeout 10 xdotool mousedown 1
for i in 1 2 3 4 5 6; do
  timeout 10 xdotool mousemove --window "$window" $((bx1 - 1 - (bx1 - bx0) * i / 12)) $((by1 - 1 - (by1 - by0) * i / 12))
  sleep 0.1
done
sleep 0.2
timeout 10 xdotool mouseup 1
sleep 0.3
tools
[[ $tool -eq 11 && $bx0 -eq ${pasted[0]} && $by0 -eq ${pasted[1]} ]] || fail "the top-left corner moved"
w=$((bx1 - bx0))
h=$((by1 - by0))
pw=$((pasted[2] - pasted[0]))
ph=$((pasted[3] - pasted[1]))
[[ $w -lt $((pw * 2 / 3)) && $w -gt $((pw / 3)) ]] || fail "the layer is $w pixels wide, not about half of $pw"
[[ $((w * ph - h * pw)) -lt $((pw * 3)) && $((h * pw - w * ph)) -lt $((pw * 3)) ]] ||
  fail "the layer of $w x $h lost the proportions of $pw x $ph"
timeout 10 xdotool mousemove --window "$window" $(((bx0 + bx1) / 2)) $(((by0 + by1) / 2))
sleep 0.3
timeout 10 xdotool click --repeat 2 --delay 80 1
sleep 1
tools
[[ $tool -eq 0 && $tstep -eq 3 ]] || fail "the double click left tool $tool at step $tstep"
state
close_to "$work/dump.rgb" "$work/pasted.rgb" && fail "the transform does not show"
same_as_display "transformed"
timeout 10 xdotool key --window "$window" ctrl+z
state
[[ $step -eq 2 ]] || fail "Ctrl+Z after the transform left step $step"
close_to "$work/dump.rgb" "$work/pasted.rgb" || fail "Ctrl+Z did not bring the pasted layer back"
same_as_display "transform undone"

close_edit_probe
grep -q '^engine joined 1$' "$log" || fail "the algorithm engine's threads did not join"
echo "warp brush and free transform: a stroke pushed pixels, the toggle showed before and after, the reset and Ctrl+Z brought the photo back, leaving kept the stroke as one step and Ctrl+Y brought it back; a pasted layer was made smaller by its corner, kept its proportions, was applied by a double click and taken back by Ctrl+Z; every capture equal to the display picture"
