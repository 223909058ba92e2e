#!/usr/bin/env bash
# window_failure_test.sh WINE_RUN PROGRAM WORK
# The real program in a Wine session started on a display that cannot be
# opened (a display number no X server holds), as a user without a display
# meets it: the session's desktop is made without a display, so the program
# cannot create its hidden window. It must end at once with exit code 1 and
# say why in its log file (the option on in its settings), rather than end
# with 0 and no word. WORK holds the session's own prefix, made anew each run.
set -u
wine_run=$1
program=$2
work=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=SCRIPTDIR/../support/shell_checks.sh
. "$root/tests/support/shell_checks.sh"

prefix="$work/wine"
[ ! -f "$prefix/system.reg" ] || WINEPREFIX="$prefix" wineserver -k 2>/dev/null
rm -rf "$work"
mkdir -p "$work"
display=4000
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
# Every Wine process here, the first one (which starts the session) too.
in_session=(env -u WAYLAND_DISPLAY -u XAUTHORITY "DISPLAY=:$display"
            "LUMISTAMP_WINEPREFIX=$prefix")
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  rm -rf "$work" "$prefix.lock"
}
trap cleanup EXIT

"${in_session[@]}" "$wine_run" reg add 'HKCU\SOFTWARE\KX-Lumistamp' /v LogFile /t REG_DWORD \
  /d 1 /f >/dev/null 2>&1 || { fail "could not store the settings"; exit 1; }
local_appdata=$("${in_session[@]}" "$wine_run" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
log=$("${in_session[@]}" "$wine_run" winepath -u "$local_appdata\\Lumistamp\\Lumistamp.Log" 2>/dev/null)
[ -n "$log" ] || { fail "no Linux path for the log file under '$local_appdata'"; exit 1; }

started=$SECONDS
timeout 60 "${in_session[@]}" "$wine_run" "$program" >"$work/output.txt" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "the program ended with $status, expected 1 (124: still running after 60 s)"
((SECONDS - started < 30)) || fail "the program took $((SECONDS - started)) s to end"
# Every line after its time stamp ("DD.MM.YYYY HH:MM:SS ").
lines=$(cut -c21- "$log" 2>/dev/null | tr -d '\r')
expected="Cannot create the main window, Error 0"
[ "$lines" = "$expected" ] || fail "the log file held:
$lines
expected:
$expected"

((failures)) && { cat "$work/output.txt"; echo "$failures failed"; exit 1; }
echo "a start that cannot create its window: exit code 1 and its log line: all checks passed"
