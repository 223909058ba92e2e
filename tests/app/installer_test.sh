#!/usr/bin/env bash
# installer_test.sh WINE_RUN PROBE SETUP PROGRAM SAMPLES WORK
# The installer as a user meets it, under Wine in a prefix of its own
# (WORK/wine, made anew each run): a silent install puts the program, its
# uninstaller, the Start menu shortcut and every uninstall value in place and
# starts nothing; the program started from the shortcut watches the folders
# stored in the settings; an install over a copy that does not end gives up
# with nothing changed; an install over the running program ends it with exit
# code 0, replaces its file and starts it again, settings and autostart value
# kept; the quiet uninstall string ends it with exit code 0 and leaves no
# program file, shortcut, uninstall entry or Run value, while the settings key
# and the log file stay. Every wait is bounded; whatever happens, the test ends
# the prefix's Wine session. SETUP is "none" when makensis was missing.
set -u
wine_run=$1
probe=$2
setup=$3
program=$4
samples=$5
work=$6

if [ "$setup" = none ] || [ ! -f "$setup" ]; then
  if ! command -v makensis >/dev/null; then
    echo "SKIPPED: makensis is not installed (Debian package nsis; scripts/install-deps installs it)"
    exit 77
  fi
  echo "FAILED: no installer at '$setup' although makensis is there: configure and build again"
  exit 1
fi
[ -n "${DISPLAY:-}" ] || { echo "FAILED: no X display (run under xvfb-run)"; exit 1; }

# shellcheck source=SCRIPTDIR/../support/shell_checks.sh
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"

prefix="$work/wine"
# Under a folder whose name begins with 0, as a clone may lie: its Windows
# path holds "\0", which must reach the settings whole.
pictures="$work/0-clone/pictures"
# A run that was killed outright (ctest's timeout) leaves its persistent Wine
# server and whatever ran in its prefix: ended before the prefix goes, as a
# server whose prefix is deleted is never reached again.
[ ! -f "$prefix/system.reg" ] || WINEPREFIX="$prefix" wineserver -k 2>/dev/null
rm -rf "$work" "$prefix.lock"
mkdir -p "$pictures" "$work/home"
# Wine links the prefix's user folders to the home folder and would write menu
# entries for the shortcut there: it gets a home inside the work folder, and
# no menu builder at all.
export HOME="$work/home"
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
export LUMISTAMP_WINEPREFIX="$prefix"
wine() { "$wine_run" "$@"; }

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumistamp'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\SOFTWARE\KX-Lumistamp'

watchers=()
guard=
cleanup() {
  local status=$?
  [ -z "$guard" ] || kill "$guard" 2>/dev/null
  # Boxes left open after a failure say what went wrong; the probe closes them.
  ((status == 0)) || [ ! -d "$prefix" ] ||
    wine "$probe" boxes | sed 's/^/message box left open: /'
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  local watcher
  for watcher in "${watchers[@]}"; do wait "$watcher" 2>/dev/null; done
  if ((status == 0)); then
    rm -rf "$work" "$prefix.lock"
  else
    echo "The prefix and the pictures stay for a look: $work"
  fi
}
trap cleanup EXIT
trap 'echo "FAILED: interrupted"; exit 1' INT TERM
# ctest kills a test past its TIMEOUT (300 s) outright, with no trap run: well
# before that, the guard ends this prefix's Wine session, which ends any Wine
# command the script waits on, and then the script, whose trap cleans up.
(
  trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
  sleep 240 >/dev/null 2>&1 &
  sleeper=$!
  wait "$sleeper"
  echo "FAILED: still running after 240 s"
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  kill -TERM $$
) &
guard=$!

# Lumistamp.exe processes of this prefix (Linux process ids).
program_pids() {
  local environ pid
  for environ in $(grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null); do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Lumistamp.exe ] &&
      [ "$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null)" != Z ] && echo "$pid"
  done
}
no_program() { [ -z "$(program_pids)" ]; }
# True once exactly one runs, other than $1; sets running_pid.
program_other_than() {
  local pids
  pids=$(program_pids)
  [ -n "$pids" ] && [ "$(wc -l <<<"$pids")" -eq 1 ] && [ "$pids" != "${1:-}" ] || return 1
  running_pid=$pids
}

# Sets the associative array values (name -> "TYPE DATA") from a key; false
# when the key is missing.
declare -A values
read_key() {
  values=()
  local output line name rest
  output=$(wine reg query "$1" 2>/dev/null) || return 1
  output=${output//$'\r'/}
  while IFS= read -r line; do
    [[ $line == "    "* ]] || continue
    line=${line#    }
    name=${line%%    *}
    rest=${line#*    }
    values[$name]="${rest%%    *} ${rest#*    }"
  done <<<"$output"
}
expect_value() {
  local key=$1 name=$2 expected=$3
  [ "${values[$name]-(missing)}" = "$expected" ] ||
    fail "$key: $name is '${values[$name]-(missing)}', expected '$expected'"
}

# Watches the program (its hidden window, then its process) in the background;
# its job ends with the program's exit code.
start_watcher() {
  wine "$probe" watch 120 >/dev/null &
  watcher=$!
  watchers+=("$watcher")
}
ended() { ! kill -0 "$1" 2>/dev/null; }
# Waits (bounded) for the watcher $1 and checks the program ended with code 0.
expect_exit_zero() {
  local watcher=$1 what=$2 status
  if ! wait_for 30 ended "$watcher"; then
    fail "$what: the program did not end within 30 s"
    return
  fi
  wait "$watcher"
  status=$?
  [ "$status" -eq 0 ] || fail "$what: the program ended with exit code $status, expected 0"
}

# Two camera pictures: real cameras' when the samples lie beside the project,
# else the smallest JPEGs a camera could write, DateTimeOriginal in the Exif IFD.
write_jpeg() {  # write_jpeg FILE "YYYY:MM:DD HH:MM:SS"
  {
    printf '\xff\xd8\xff\xe1\x00\x48Exif\x00\x00'  # SOI; APP1, 72 bytes
    printf 'II\x2a\x00\x08\x00\x00\x00'             # TIFF header, IFD0 at 8
    # IFD0: one entry, 0x8769 (LONG) = 26, the Exif IFD; no next IFD.
    printf '\x01\x00\x69\x87\x04\x00\x01\x00\x00\x00\x1a\x00\x00\x00\x00\x00\x00\x00'
    # Exif IFD: one entry, 0x9003 (ASCII, 20 bytes at 44); no next IFD.
    printf '\x01\x00\x03\x90\x02\x00\x14\x00\x00\x00\x2c\x00\x00\x00\x00\x00\x00\x00'
    printf '%s\x00\xff\xd9' "$2"
  } >"$1"
}
if [ -f "$samples/Canon_40D.jpg" ] && [ -f "$samples/Nikon_D70.jpg" ]; then
  cp "$samples/Canon_40D.jpg" "$work/IMG_0001.jpg"
  cp "$samples/Nikon_D70.jpg" "$work/DSC_0001.jpg"
  first_stamp=20080731_103811
  second_stamp=20080731_100344
else
  echo "Camera samples not found in $samples: the test writes JPEGs of its own."
  write_jpeg "$work/IMG_0001.jpg" "2021:06:15 10:20:30"
  write_jpeg "$work/DSC_0001.jpg" "2022:07:16 11:21:31"
  first_stamp=20210615_102030
  second_stamp=20220716_112131
fi
# Copied beside the folder, then moved in whole, as a file manager's move would.
mkdir -p "$work/stage"
drop_picture() {  # drop_picture NAME
  cp "$work/$1" "$work/stage/$1" && mv "$work/stage/$1" "$pictures/$1"
}
renamed_to() { [ -f "$pictures/$1.jpg" ] && [ ! -e "$pictures/$2" ]; }

# The user's settings before any install: the watched folder, the log file on.
# The first Wine command makes the prefix.
windows_pictures="Z:${pictures//\//\\}"
"$(dirname "${BASH_SOURCE[0]}")/../../scripts/folders-reg" "$windows_pictures" >"$work/folders.reg"
wine regedit /S "Z:${work//\//\\}\\folders.reg" >/dev/null ||
  fail "regedit did not import the folder to watch"
wine reg add "$settings_key" /v LogFile /t REG_DWORD /d 1 /f >/dev/null

# Where this prefix keeps the current user's folders, as Wine itself tells
# (the profile is named after the user Wine runs as, which need not be the
# one the shell reports).
windows_folder() {  # windows_folder VARIABLE: its value in this prefix
  wine cmd /c echo "%$1%" | tr -d '\r' | grep -E '^[A-Za-z]:\\' | tail -n 1
}
unix_path() { wine winepath -u "$1" | tr -d '\r' | grep '^/' | tail -n 1; }
local_appdata=$(windows_folder LOCALAPPDATA)
appdata=$(windows_folder APPDATA)
if [ -z "$local_appdata" ] || [ -z "$appdata" ]; then
  fail "Wine told no user folders: LOCALAPPDATA '$local_appdata', APPDATA '$appdata'"
  exit 1
fi
windows_dir="$local_appdata\\Programs\\Lumistamp"
install_dir=$(unix_path "$windows_dir")
shortcut=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Lumistamp.lnk")
log=$(unix_path "$local_appdata\\Lumistamp\\Lumistamp.Log")
if [ -z "$install_dir" ] || [ -z "$shortcut" ] || [ -z "$log" ]; then
  fail "winepath did not translate the user folders of $local_appdata and $appdata"
  exit 1
fi

# 1. A silent install.
wine "$setup" /S >/dev/null
status=$?
[ "$status" -eq 0 ] || fail "the silent install ended with $status, expected 0"
[ -d "$install_dir" ] || { fail "nothing was installed in $install_dir"; exit 1; }
files=$(cd "$install_dir" && ls -A | tr '\n' ' ')
[ "$files" = "Lumistamp.exe Uninstall.exe " ] ||
  fail "the install folder holds '$files', expected 'Lumistamp.exe Uninstall.exe '"
cmp -s "$install_dir/Lumistamp.exe" "$program" ||
  fail "the installed Lumistamp.exe is not the program that was built"
[ -f "$shortcut" ] || fail "no Start menu shortcut $shortcut"
grep -aqF "$windows_dir\\Lumistamp.exe" "$shortcut" 2>/dev/null ||
  fail "the shortcut does not name $windows_dir\\Lumistamp.exe"
if read_key "$uninstall_key"; then
  expect_value uninstall DisplayName "REG_SZ Lumistamp"
  expect_value uninstall DisplayVersion "REG_SZ 2.2.0"
  expect_value uninstall Publisher "REG_SZ the Lumistamp developers"
  expect_value uninstall DisplayIcon "REG_SZ $windows_dir\\Lumistamp.exe"
  expect_value uninstall InstallLocation "REG_SZ $windows_dir"
  expect_value uninstall UninstallString "REG_SZ \"$windows_dir\\Uninstall.exe\""
  expect_value uninstall QuietUninstallString "REG_SZ \"$windows_dir\\Uninstall.exe\" /S"
  expect_value uninstall NoModify "REG_DWORD 0x1"
  expect_value uninstall NoRepair "REG_DWORD 0x1"
  # Kilobytes of the folder's two files.
  bytes=$(cat "$install_dir"/* | wc -c)
  size=${values[EstimatedSize]-}
  if [[ $size != "REG_DWORD 0x"* ]]; then
    fail "EstimatedSize is '$size', expected a REG_DWORD"
  elif (( ${size#REG_DWORD } < bytes / 1024 - 1 || ${size#REG_DWORD } > bytes / 1024 + 1 )); then
    fail "EstimatedSize is $((${size#REG_DWORD })) KB, the files take $((bytes / 1024)) KB"
  fi
  [ "${#values[@]}" -eq 10 ] || fail "the uninstall key holds ${#values[@]} values, expected 10: ${!values[*]}"
else
  fail "no uninstall key $uninstall_key"
fi
# Nothing ran before it: no program window may come.
wine "$probe" window 2 >/dev/null
[ $? -eq 3 ] || fail "a first install started the program, which was not running before"

# 2. An install over a copy that does not end: it waits in vain, gives up
# with exit code 2 and changes nothing. The installed file gets a tail of its
# own first, to tell a replaced file from the one in place.
printf 'left in place' >>"$install_dir/Lumistamp.exe"
wine "$probe" stubborn 120 >/dev/null &
stubborn=$!
watchers+=("$stubborn")
wine "$probe" window 30 >/dev/null || fail "the stand-in that does not end never made its window"
started=$SECONDS
wine "$setup" /S >/dev/null
status=$?
[ "$status" -eq 2 ] || fail "an install over a copy that does not end ended with $status, expected 2"
((SECONDS - started >= 14)) ||
  fail "an install over a copy that does not end gave up after $((SECONDS - started)) s, before its 15 s"
[ "$(tail -c 13 "$install_dir/Lumistamp.exe")" = "left in place" ] ||
  fail "an install that gave up replaced the program all the same"
wine "$probe" stop
wait_for 30 ended "$stubborn" || fail "the stand-in did not end when told to"

# 3. The program started from its Start menu shortcut watches the folder.
wine start /unix "$shortcut" >/dev/null
start_watcher
first_watcher=$watcher
running_pid=
wait_for 30 program_other_than || { fail "the shortcut started no program"; exit 1; }
first_pid=$running_pid
drop_picture IMG_0001.jpg
wait_for 30 renamed_to "$first_stamp" IMG_0001.jpg ||
  fail "IMG_0001.jpg was not renamed to $first_stamp.jpg: $(ls "$pictures")"

# The user chose to start it at logon: the program's settings value and Run value.
wine reg add "$settings_key" /v Autostart /t REG_DWORD /d 1 /f >/dev/null
wine reg add "$run_key" /v KX_Lumistamp /t REG_SZ /d "\"$windows_dir\\Lumistamp.exe\"" /f >/dev/null

# 4. A second silent install while it runs: ends it as its Exit does, replaces
# the file, starts it again; the settings and the autostart value stay.
wine "$setup" /S >/dev/null
status=$?
[ "$status" -eq 0 ] || fail "the install over the running program ended with $status, expected 0"
expect_exit_zero "$first_watcher" "the install over the running program"
cmp -s "$install_dir/Lumistamp.exe" "$program" ||
  fail "the install over the running program did not replace Lumistamp.exe"
wait_for 30 program_other_than "$first_pid" || fail "the program was not started again after the upgrade"
start_watcher
second_watcher=$watcher
if read_key "$run_key"; then
  expect_value Run KX_Lumistamp "REG_SZ \"$windows_dir\\Lumistamp.exe\""
else
  fail "the upgrade removed the Run key"
fi
if read_key "$settings_key"; then
  expect_value settings Folders "REG_MULTI_SZ $windows_pictures"
  expect_value settings Autostart "REG_DWORD 0x1"
else
  fail "the upgrade removed the settings key"
fi
drop_picture DSC_0001.jpg
wait_for 30 renamed_to "$second_stamp" DSC_0001.jpg ||
  fail "after the upgrade DSC_0001.jpg was not renamed to $second_stamp.jpg: $(ls "$pictures")"

# 5. The quiet uninstall string, run as a package manager runs it. The
# uninstaller hands over to a copy of itself outside the folder it deletes,
# so its own end says little: the program's end, the install folder and the
# uninstall key (its last step) are waited for.
read_key "$uninstall_key"
quiet=${values[QuietUninstallString]#REG_SZ }
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
arguments=${quiet##*\" }
wine "$uninstaller" $arguments >/dev/null
status=$?
[ "$status" -eq 0 ] || fail "'$quiet' ended with $status, expected 0"
expect_exit_zero "$second_watcher" "the uninstall"
gone() { [ ! -e "$install_dir" ] && ! read_key "$uninstall_key"; }
wait_for 30 gone || fail "30 s after the uninstall: $(ls -A "$install_dir" 2>&1), key: ${!values[*]}"
[ ! -e "$install_dir/Lumistamp.exe" ] || fail "the uninstall left Lumistamp.exe"
[ ! -e "$install_dir/Uninstall.exe" ] || fail "the uninstall left Uninstall.exe"
[ ! -e "$install_dir" ] || fail "the uninstall left the folder $install_dir"
[ ! -e "$shortcut" ] || fail "the uninstall left the Start menu shortcut"
read_key "$uninstall_key" && fail "the uninstall left the uninstall key"
read_key "$run_key"
[ -z "${values[KX_Lumistamp]+set}" ] || fail "the uninstall left the Run value KX_Lumistamp: ${values[KX_Lumistamp]}"
no_program || fail "a Lumistamp process is left after the uninstall"
# The user's own: settings and log stay for a later install.
if read_key "$settings_key"; then
  expect_value settings Folders "REG_MULTI_SZ $windows_pictures"
  expect_value settings LogFile "REG_DWORD 0x1"
  expect_value settings Autostart "REG_DWORD 0x1"
else
  fail "the uninstall removed the settings key $settings_key"
fi
if [ -f "$log" ]; then
  grep -qF "IMG_0001.jpg to $first_stamp.jpg" "$log" ||
    fail "the log does not hold the first rename: $(cat "$log")"
  grep -qF "DSC_0001.jpg to $second_stamp.jpg" "$log" ||
    fail "the log does not hold the rename after the upgrade: $(cat "$log")"
else
  fail "the uninstall removed the log file $log"
fi

boxes=$(wine "$probe" boxes)
[ -z "$boxes" ] || fail "message boxes showed: $boxes"

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "installer: install, upgrade while running, uninstall: all checks passed"
