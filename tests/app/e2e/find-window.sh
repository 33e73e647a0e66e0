# Sourced by every session that looks for its program's window inside the
# virtual X server. xdotool's search walks the window tree and dies with
# BadWindow when a window goes away during the walk (SDL replaces its window
# when it starts drawing), so the search is repeated until the window stays.
# Needs: pid of the program, set by the caller.
# The visible window titled as given, into window, and its size into WIDTH
# and HEIGHT (searched again and again: xdotool gives up on an X error from
# a window that went away during its search, and the program's start makes
# short-lived ones).
find_window() {
  window=
  for _ in $(seq 1 60); do
    window=$(timeout 10 xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [[ -n "$window" ]]; then
      # One that is gone half a second later was a short-lived one.
      sleep 0.5
      local geometry
      geometry=$(timeout 10 xdotool getwindowgeometry --shell "$window" 2>/dev/null) && eval "$geometry" && return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  return 1
}
