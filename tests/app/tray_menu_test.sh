#!/usr/bin/env bash
# tray_menu_test.sh WINE_RUN PROGRAM
# The tray icon as a user meets it: real mouse clicks through the X server on
# the icon Wine's system tray shows. Left clicks do nothing; the right-button
# press opens the menu; "Exit" removes the icon and ends the program with exit
# code 0 within the 2-second stop limit plus start-up slack.
set -u
wine_run=$1
program=$2

source "$(dirname "${BASH_SOURCE[0]}")/tray_helpers.sh"

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

find_first_icon || { echo "FAILED: no tray icon appeared"; exit 1; }
# Escape dismisses the menu, and must leave the program running.
open_menu_on_first_icon || { echo "FAILED: right click opened no menu"; exit 1; }
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
click_exit_in_menu || { echo "FAILED: the menu closed before Exit could be chosen"; exit 1; }

expect_clean_exit
finish "tray menu: all checks passed"
