#!/usr/bin/env bash
# The part of the render window test that runs inside the virtual X server.
set -u
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../app/e2e/find-window.sh"
probe=$1
dpi=$2
work=$(mktemp -d)
log=$work/log
pid=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe log:"
  cat "$log"
  exit 1
}

# Waits up to 10 s for a line of the log that matches.
wait_for() {
  for _ in $(seq 1 100); do
    grep -q "$1" "$log" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "$1" "$log"
}

# The display's resolution as desktop settings give it (the server runs with
# -noreset, so the resource outlives this client).
if [[ "$dpi" != 96 ]]; then
  "$probe" --set-xft-dpi "$dpi" || fail "could not set Xft.dpi"
fi

touch "$log"
"$probe" "$log" "$work/back.rgb" &
pid=$!
wait_for '^ready' || fail "the window did not open"
read -r _ pw ph scale < <(grep '^ready' "$log")
lw=$(awk -v p="$pw" -v s="$scale" 'BEGIN { print int(p / s) }')
lh=$(awk -v p="$ph" -v s="$scale" 'BEGIN { print int(p / s) }')
case "$dpi" in
  96) [[ "$scale" == 1 ]] || fail "factor $scale at 96 dpi" ;;
  144) [[ "$scale" == 1.5 ]] || fail "factor $scale at 144 dpi" ;;
esac

find_window '^Tessera render probe$'
[[ -n "$window" ]] || fail "no window named 'Tessera render probe'"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"
wait_for '^activate 1$' || fail "no activation"

# Clicks at physical points; each must reach its sprite at the logical point
# (physical x logical size / physical size) minus the sprite's window origin.
click() {
  local name=$1 px=$2 py=$3 left=$4 top=$5
  local lx=$((px * lw / pw - left)) ly=$((py * lh / ph - top))
  timeout 10 xdotool mousemove --window "$window" "$px" "$py" click 1
  wait_for "^click $name $lx $ly\$" || fail "the click at $px,$py did not reach $name at $lx,$ly"
}
# A: logical (40, 40)-(240, 200); B: (300, 40)-(600, 300) with its child C at
# (350, 90)-(450, 190) in window coordinates.
s() { awk -v v="$1" -v s="$scale" 'BEGIN { print int(v * s) }'; }
click A "$(s 100)" "$(s 60)" 40 40
click B "$(s 320)" "$(s 280)" 300 40
click C "$(s 400)" "$(s 120)" 350 90
click B "$(s 400)" "$(s 120)" 300 40

if [[ "$dpi" == 96 ]]; then
  timeout 10 xdotool key d
  wait_for '^dumped' || fail "no dump of the back buffer"
  sleep 0.5
  timeout 20 import -window "$window" -depth 8 "rgb:$work/screen.rgb" || fail "import could not capture the window"
  cmp "$work/back.rgb" "$work/screen.rgb" || fail "the window's capture differs from the back buffer"
fi

timeout 10 xdotool key q
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "the probe ended with $rc"
grep -qx 'exit 0' "$log" || fail "no clean exit"
echo "render window probe at $dpi dpi: clicks reached their sprites"
