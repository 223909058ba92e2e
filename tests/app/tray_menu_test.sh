#!/usr/bin/env bash
# tray_menu_test.sh WINE_RUN PROGRAM
# The tray icon as a user meets it: real mouse clicks through the X server on
# the icon Wine's system tray shows. Left clicks do nothing; the right-button
# press opens the menu; "Exit" removes the icon and ends the program with exit
# code 0 within the 2-second stop limit plus start-up slack.
set -u
wine_run=$1
program=$2
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

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
# The program's popup menu: its only visible window larger than a pixel.
menu_window() {
  local window
  for window in $(xdotool search --onlyvisible --classname 'lumistamp.exe' 2>/dev/null); do
    local width height
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
    if ((WIDTH > 8 && HEIGHT > 8)); then echo "$window"; return 0; fi
  done
  return 1
}
has_menu() { [ -n "$(menu_window)" ]; }
has_no_menu() { [ -z "$(menu_window)" ]; }
has_tray() { [ -n "$(visible_tray)" ]; }
has_no_tray() { [ -z "$(visible_tray)" ]; }

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$wine_run" reg delete 'HKCU\SOFTWARE\KX-Lumistamp' /f >/dev/null 2>&1
(cd "$work" && exec "$wine_run" "$program") &
pid=$!

wait_for 30 has_tray || { echo "FAILED: no tray icon appeared"; exit 1; }
tray=$(visible_tray)
eval "$(xdotool getwindowgeometry --shell "$tray" | grep -E '^(X|Y)=')"
icon_x=$((X + 10))
icon_y=$((Y + 10))

# Icons of programs that ended without removing theirs may still stand before
# ours; Wine drops such an icon once a click on it finds no owner, and ours
# moves into the first place. So: right-click the first place until our menu
# opens (Escape dismisses it, and must leave the program running).
opened=
for attempt in 1 2 3 4 5 6 7 8; do
  xdotool mousemove "$icon_x" "$icon_y" click 3
  if wait_for 3 has_menu; then opened=yes; break; fi
done
[ -n "$opened" ] || { echo "FAILED: right click opened no menu"; exit 1; }
xdotool key Escape
wait_for 10 has_no_menu || fail "Escape left the menu open"
kill -0 "$pid" 2>/dev/null || fail "dismissing the menu ended the program"

# Left clicks and a double click on the icon open nothing.
xdotool mousemove "$icon_x" "$icon_y" click 1
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 1
wait_for 2 has_menu && fail "a left click opened the menu"
wait_for 2 has_no_menu || { echo "FAILED: menu did not close"; exit 1; }

# The right-button press opens it again; choose Exit, its second item.
xdotool mousemove "$icon_x" "$icon_y" click 3
wait_for 10 has_menu || { echo "FAILED: right click opened no menu"; exit 1; }
menu=$(menu_window)
eval "$(xdotool getwindowgeometry --shell "$menu" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 3 / 4)) click 1

wait_for 12 bash -c "! kill -0 $pid 2>/dev/null" || fail "Exit did not end the program in time"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "exit code $status, expected 0"
wait_for 5 has_no_tray || fail "the tray icon stayed after Exit"

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "tray menu: all checks passed"
