#!/usr/bin/env bash
# The part of the editing commands test that runs inside the virtual X server.
set -u
probe=$1
photo=$2
clip=
here=$(cd "$(dirname "$0")" && pwd)
source "$here/edit-probe-lib.sh"
stop_clip() { [[ -n "$clip" ]] && kill "$clip" 2>/dev/null; }
extra_cleanup=stop_clip

# F7: layer count, current layer, step, the current layer's picture and the
# history rows' centres.
layers() {
  ask F7 '^layers'
  read -r _ count _ current _ step _ lw lh dumped _ rows <<< "$answer"
  read -r -a row <<< "$rows"
}

open_edit_probe "$photo"

# Ctrl+A, Ctrl+C: the clipboard holds the layer's dithered picture.
press ctrl+a
press ctrl+c
layers
[[ $count -eq 1 && "$dumped" == dumped ]] || fail "no layer to compare"
timeout 30 xclip -selection clipboard -t image/png -o > "$work/copied.png" || fail "xclip read no PNG"
convert "$work/copied.png" -depth 8 "rgba:$work/copied.rgba" || fail "the copied PNG does not decode"
cmp -s "$work/copied.rgba" "$work/dump.rgb.layer" || fail "the clipboard's picture differs from the layer"
timeout 20 import -window "$window" "$work/one-layer.png"

# A picture of another program pastes with Ctrl+V as a layer.
convert -size 40x30 xc:'#20c040' "$work/green.png"
xclip -selection clipboard -t image/png -i "$work/green.png" &
clip=$!
sleep 0.5
press ctrl+v
layers
[[ $count -eq 2 && $current -eq 1 && $step -eq 1 && $lw -eq 40 && $lh -eq 30 ]] ||
  fail "Ctrl+V gave $count layers, current $current, step $step, a layer of $lw x $lh"
timeout 20 import -window "$window" "$work/two-layers.png"

# The history panel's rows: the first brings the opening back, the second
# the paste; the window shows each.
[[ ${#row[@]} -ge 4 ]] || fail "the history panel shows ${#row[@]} coordinates, not two rows"
timeout 10 xdotool mousemove --window "$window" "${row[0]}" "${row[1]}" click 1
sleep 1
layers
[[ $count -eq 1 && $step -eq 0 ]] || fail "the first history row left $count layers at step $step"
timeout 20 import -window "$window" "$work/undone.png"
[[ $(compare -metric AE "$work/two-layers.png" "$work/undone.png" null: 2>&1) != 0 ]] ||
  fail "the window did not change with the first history row"
timeout 10 xdotool mousemove --window "$window" "${row[2]}" "${row[3]}" click 1
sleep 1
layers
[[ $count -eq 2 && $step -eq 1 ]] || fail "the second history row left $count layers at step $step"

close_edit_probe
echo "edit commands: Ctrl+A and Ctrl+C put the layer on the clipboard as xclip reads it, Ctrl+V pasted xclip's picture as a layer, and the history rows walked the history"
