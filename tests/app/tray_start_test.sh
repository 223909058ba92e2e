#!/usr/bin/env bash
# tray_start_test.sh WINE_RUN STARTER PROGRAM SHOW-STATE
# The program started with a show state that does not activate its window, as
# a shortcut set to "Run: Minimized" or "start /min" starts it (the starter
# passes the state with STARTF_USESHOWWINDOW): its tray icon appears all the
# same, the right-button press on it opens the menu, and "Exit" ends the
# program with exit code 0 and removes the icon.
set -u
wine_run=$1
starter=$2
program=$3
state=$4

source "$(dirname "${BASH_SOURCE[0]}")/tray_helpers.sh"

work=$(mktemp -d)
pid=
# A test that fails half-way has the starter end the program it started, so
# that no instance is left to refuse the next test's start.
cleanup() {
  if [ -n "$pid" ]; then
    "$wine_run" "$starter" --stop >/dev/null 2>&1
    wait "$pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$wine_run" reg delete 'HKCU\SOFTWARE\KX-Lumistamp' /f >/dev/null 2>&1
# The starter waits for the program and ends with its exit code.
(cd "$work" && exec "$wine_run" "$starter" "$state" "Z:$program") &
pid=$!

find_first_icon || { echo "FAILED: no tray icon appeared (show state $state)"; exit 1; }
open_menu_on_first_icon || { echo "FAILED: no menu opened on the tray icon"; exit 1; }
click_exit_in_menu || { echo "FAILED: the menu closed before Exit could be chosen"; exit 1; }

expect_clean_exit
finish "tray icon at a start with show state $state: all checks passed"
