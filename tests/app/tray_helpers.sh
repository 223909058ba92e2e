# Shared by the tray tests: finding the tray Wine shows and the program's popup
# menu through the X server, and choosing from that menu with real clicks.
# Source it; it needs xdotool and an X display (xvfb-run).

command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "no X display (run under xvfb-run)"; exit 1; }

# Polls a command every 0.1 s for at most $1 seconds; true once it succeeds.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

visible_tray() { xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1; }
# Sets X, Y, WIDTH and HEIGHT (the caller's, when it declares them local) to
# the window's geometry; false when the window is gone meanwhile.
window_geometry() {
  local geometry
  [ -n "$1" ] || return 1
  geometry=$(xdotool getwindowgeometry --shell "$1" 2>/dev/null) || return 1
  eval "$(grep -E '^(X|Y|WIDTH|HEIGHT)=' <<<"$geometry")"
  [ -n "${WIDTH:-}" ]
}

# The program's popup menu: its only visible window larger than a pixel.
menu_window() {
  local window
  for window in $(xdotool search --onlyvisible --classname 'lumistamp.exe' 2>/dev/null); do
    local X Y WIDTH HEIGHT
    window_geometry "$window" || continue
    if ((WIDTH > 8 && HEIGHT > 8)); then echo "$window"; return 0; fi
  done
  return 1
}
has_menu() { [ -n "$(menu_window)" ]; }
has_no_menu() { [ -z "$(menu_window)" ]; }
has_tray() { [ -n "$(visible_tray)" ]; }
has_no_tray() { [ -z "$(visible_tray)" ]; }

# Waits for the tray and sets icon_x and icon_y to the middle of its first place.
find_first_icon() {
  wait_for 30 has_tray || return 1
  local X Y WIDTH HEIGHT
  window_geometry "$(visible_tray)" || return 1
  icon_x=$((X + 10))
  icon_y=$((Y + 10))
}

# Icons of programs that ended without removing theirs may still stand before
# ours; Wine drops such an icon once a click on it finds no owner, and ours
# moves into the first place. So: right-click the first place until our menu
# opens. True once it is open.
open_menu_on_first_icon() {
  local attempt
  for attempt in 1 2 3 4 5 6 7 8; do
    xdotool mousemove "$icon_x" "$icon_y" click 3
    if wait_for 3 has_menu; then return 0; fi
  done
  return 1
}

# Clicks "Exit", the second and last item of the open menu. A menu that closed
# before the click (its window gone) is opened again, a few times at most.
click_exit_in_menu() {
  local attempt X Y WIDTH HEIGHT
  for attempt in 1 2 3; do
    if window_geometry "$(menu_window)"; then
      xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 3 / 4)) click 1
      return 0
    fi
    open_menu_on_first_icon || return 1
  done
  return 1
}

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# After "Exit" was chosen: the background job $pid (the program, or its starter)
# ends in time with exit code 0, and the tray icon goes.
expect_clean_exit() {
  wait_for 12 bash -c "! kill -0 $pid 2>/dev/null" || fail "Exit did not end the program in time"
  wait "$pid"
  local status=$?
  pid=
  [ "$status" -eq 0 ] || fail "exit code $status, expected 0"
  wait_for 5 has_no_tray || fail "the tray icon stayed after Exit"
}

# Ends the test: exit code 1 when a check failed, else the message.
finish() {
  if ((failures)); then
    echo "$failures failed"
    exit 1
  fi
  echo "$1"
}
