# Sourced by the sessions of edit_page_probe inside the virtual X server,
# on top of the shared session library: starting the probe on a photo, its
# F8 state line, comparing the window with the display picture it dumps,
# and closing it without saving. Needs: probe set by the caller.
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/session-lib.sh"

# Starts the probe on the photo (or on none with "-", when it waits for a
# drop), waits until it has opened it (or is ready) and gives its window
# the focus.
open_edit_probe() {
  if [[ "$1" == - ]]; then
    open_probe '^ready' '^Tessera$' "$probe" "$log" "$work/dump.rgb" -
  else
    open_probe '^opened' '^Tessera$' "$probe" "$log" "$work/dump.rgb" "$1"
    wait_for '^activate [12]$' || fail "no activation"
  fi
}

# F8: whether the display picture was dumped, the zoom, the source
# rectangle, the image rectangle in the window, the history step, whether
# the photo's page is current and the centres of the album's and the
# photo's tab titles.
page_state() {
  ask F8 '^state'
  read -r _ dumped _ zoom _ sl st sr sb _ ix iy iw ih _ step _ current _ ax ay px py <<< "$answer"
}

# The window's capture of the picture equals the display picture of the
# last page_state, but for the selection's ants and panel (the probe's
# DUMP.outline, when written), which are made white on both.
same_as_display() {
  [[ "$dumped" == dumped ]] || fail "$1: no display picture to compare"
  timeout 20 import -window "$window" -crop "${iw}x${ih}+${ix}+${iy}" -depth 8 "rgb:$work/screen.rgb" ||
    fail "import could not capture the window"
  local f
  for f in dump screen; do
    if [[ -f "$work/dump.rgb.outline" ]]; then
      convert -size "${iw}x${ih}" -depth 8 "rgb:$work/$f.rgb" \( -size "${iw}x${ih}" -depth 8 \
        "gray:$work/dump.rgb.outline" -fill white +opaque black \) -compose Lighten -composite -depth 8 \
        "rgb:$work/$f.seen.rgb" || fail "cannot leave the ants out"
    else
      cp "$work/$f.rgb" "$work/$f.seen.rgb"
    fi
  done
  cmp -s "$work/dump.seen.rgb" "$work/screen.seen.rgb" ||
    fail "$1: the capture of the picture differs from the display picture"
}

# Closes the window by the frame's close button: Yes to closing, No to
# saving each page; fails unless the probe ended with status 0.
close_edit_probe() {
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  timeout 10 xdotool mousemove --window "$window" $((WIDTH - 12)) 12 click 1
  wait_for '^close asked$' 10 || fail "the close button did not ask to close"
  sleep 0.5
  timeout 10 xdotool key --window "$window" y
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.3
    timeout 5 xdotool key --window "$window" n 2>/dev/null
  done
  wait "$pid"
  rc=$?
  pid=
  [[ $rc -eq 0 ]] || fail "the probe ended with $rc"
}
