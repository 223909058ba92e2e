#!/usr/bin/env bash
# test_kit_test.sh WINE_RUN BUILD WORK
# The test kit's runner, run-tests.cmd, made by scripts/test-kit.py from a
# test list of a few entries and run by Wine's cmd as Windows would run it:
# a program that passes; one whose filter matches no test, one that ends with
# exit code 3 and one that outlives its time limit (all three failed, the last
# ended); one whose exit code is its entry's skip code, one a shell script
# drives, and one whose every test skips itself (all three skipped, with the
# reason), and one that sets TZ (skipped: Wine takes the zone from the Linux
# environment it starts with). One line per entry, then the closing line, and
# exit code 1.
# Then as on Windows (LUMISTAMP_KIT_AS_WINDOWS, a stand-in tzutil first on the
# path), over a seeded settings key, Run value, log file and kept file: three
# entries that set TZ run in their zone, and the zone is put back after each,
# after the one that passes, the one that fails having changed all the seeded
# things and the real program past its time limit having written its log; the
# seeded things are as they were after the run, and after a run broken off
# once the next run starts. WORK is made anew each run.
set -u
wine_run=$1
build=$2
work=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=SCRIPTDIR/../support/shell_checks.sh
. "$root/tests/support/shell_checks.sh"

rm -rf "$work"
mkdir -p "$work"
cmd='C:\\windows\\system32\\cmd.exe'  # as JSON writes it
# A test list as `ctest --show-only=json-v1` writes it, with real programs
# of this build.
entry() {  # entry NAME TIMEOUT FOLDER COMMAND_JSON [PROPERTY_JSON...]
  local name=$1 timeout=$2 folder=$3 command=$4
  shift 4
  local extra=""
  local property
  for property in "$@"; do extra+=", $property"; done
  printf '{"name": "%s", "command": %s, "properties": [{"name": "TIMEOUT", "value": %s},
    {"name": "WORKING_DIRECTORY", "value": "%s"},
    {"name": "FAIL_REGULAR_EXPRESSION", "value": ["Running 0 tests from"]}%s]}' \
    "$name" "$command" "$timeout" "$folder" "$extra"
}
app="$build/tests/app"
{
  echo '{"kind": "ctestInfo", "version": {"major": 1, "minor": 0}, "tests": ['
  entry kit.passes 60 "$app" "[\"$build/wine-run\", \"$app/icon_sizes_tests.exe\"]"
  echo ,
  entry kit.no_test 60 "$app" \
    "[\"$build/wine-run\", \"$app/icon_sizes_tests.exe\", \"--gtest_filter=NoSuchTest.*\"]"
  echo ,
  entry kit.exit_code 60 "$app" "[\"$build/wine-run\", \"$cmd\", \"/c\", \"exit\", \"3\"]"
  echo ,
  entry kit.hangs 3 "$app" "[\"$build/wine-run\", \"$app/lumistamp_probe.exe\", \"window\", \"60\"]"
  echo ,
  entry kit.skip_code 60 "$app" "[\"$build/wine-run\", \"$cmd\", \"/c\", \"exit\", \"77\"]" \
    '{"name": "SKIP_RETURN_CODE", "value": 77}'
  echo ,
  entry kit.host 60 "$app" "[\"$root/tests/app/installer_test.sh\", \"$build/wine-run\"]"
  echo ,
  entry kit.windows_only 60 "$build/tests/windows" \
    "[\"$build/wine-run\", \"$build/tests/windows/windows_only_tests.exe\"]"
  echo ,
  entry kit.time_zone 60 "$app" \
    "[\"$build/wine-run\", \"$app/icon_sizes_tests.exe\"]" \
    '{"name": "ENVIRONMENT", "value": ["TZ=UTC-2"]}'
  echo ']}'
} >"$work/tests.json"

python3 "$root/scripts/test-kit.py" "$work/tests.json" "$work/kit" ||
  { fail "test-kit.py did not make the runner"; exit 1; }
runner="Z:${work//\//\\}\\kit\\run-tests.cmd"
# The runner's lines after the notice of what it puts back (up to the first
# empty line), without carriage returns.
after_notice() { tr -d '\r' | sed '1,/^$/d'; }
# Only the entry named on the command line; all passed: exit code 0.
# The prefix's folders as the runner names them.
local_appdata=$("$wine_run" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
temp=$("$wine_run" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
notice="The tests change this user's Lumistamp: its settings (HKCU\\SOFTWARE\\KX-Lumistamp),
its start at logon (the value KX_Lumistamp in HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run),
its folder $local_appdata\\Lumistamp (log file and kept files) and the time zone.
A copy kept in $temp\\Lumistamp-tests\\saved puts them back as they were after the run, also
after an entry that fails or runs out of time; a run broken off (Ctrl-C) is
put back at the next start of run-tests.cmd."
put_back="Put back as they were: the settings, the start value, the folder and the time zone."

# Only the entry named on the command line; all passed: exit code 0.
output=$("$wine_run" cmd /c "$runner" kit.passes 2>&1)
status=$?
lines=$(tr -d '\r' <<<"$output")
[ "$lines" = "$notice

passed  kit.passes
$put_back
0 skipped
1 passed, 0 failed" ] || fail "run-tests.cmd kit.passes said: $lines"
[ "$status" -eq 0 ] || fail "run-tests.cmd kit.passes ended with $status, expected 0"

output=$("$wine_run" cmd /c "$runner" 2>&1)
status=$?
echo "$output"
# The lines, without the log file each names (the prefix's temporary folder).
lines=$(after_notice <<<"$output" | sed -E 's/ \(output in [^)]*\)$//; s/ \(exit code 77, output in [^)]*\)$/ (exit code 77)/')
expected="passed  kit.passes
FAILED  kit.no_test: its filter matched no test
FAILED  kit.exit_code: exit code 3
FAILED  kit.hangs: still running after 3 s, ended
SKIPPED kit.skip_code: it skipped itself (exit code 77)
SKIPPED kit.host: needs the Linux host: installer_test.sh drives it
SKIPPED kit.windows_only: Windows only: Wine opens paths past MAX_PATH whatever LongPathsEnabled says
SKIPPED kit.time_zone: Wine takes the time zone from the Linux TZ it starts with (ctest sets TZ=UTC-2 for it)
$put_back
4 skipped
1 passed, 3 failed"
[ "$lines" = "$expected" ] || fail "run-tests.cmd said:
$lines
expected:
$expected"
[ "$status" -eq 1 ] || fail "run-tests.cmd ended with $status, expected 1"

# --- As on Windows. The tester's own Lumistamp, seeded: settings, the start
# value, a log file and a kept file, with times of their own.
settings_key='HKCU\SOFTWARE\KX-Lumistamp'
run_key='HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
data=$("$wine_run" winepath -u "$local_appdata\\Lumistamp" 2>/dev/null)
[ -n "$data" ] || { fail "no Linux path for $local_appdata\\Lumistamp"; exit 1; }
clear_seeds() {
  "$wine_run" reg delete "$settings_key" /f >/dev/null 2>&1
  "$wine_run" reg delete "$run_key" /v KX_Lumistamp /f >/dev/null 2>&1
  rm -rf "$data"
}
trap clear_seeds EXIT
seed() {
  clear_seeds
  "$wine_run" reg add "$settings_key" /v Folders /t REG_MULTI_SZ /d 'Z:\photos\in\0Z:\photos\card' /f
  "$wine_run" reg add "$settings_key" /v LogFile /t REG_DWORD /d 1 /f
  "$wine_run" reg add "$settings_key" /v Companions /t REG_MULTI_SZ /d 'XMP\0WAV' /f
  "$wine_run" reg add "$run_key" /v KX_Lumistamp /t REG_SZ /d '"C:\Program Files\Lumistamp\Lumistamp.exe"' /f
  mkdir -p "$data/Settled"
  printf '01.02.2024 10:00:00 Starting Lumistamp\r\n' >"$data/Lumistamp.Log"
  printf 'kept\0\1\2' >"$data/Settled/folder-1.bin"
  touch -d '2024-02-01 10:00:00' "$data/Lumistamp.Log" "$data/Settled/folder-1.bin"
} >/dev/null 2>&1
# What the tester would see of it: the key, the value, the files with their
# sizes, times, modes and contents.
snapshot() {
  "$wine_run" reg export "$settings_key" "Z:${work//\//\\}\\settings.reg" /y >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$work/settings.reg" 2>/dev/null | tr -d '\r'
  rm -f "$work/settings.reg"
  "$wine_run" reg query "$run_key" /v KX_Lumistamp 2>/dev/null | tr -d '\r' | grep KX_
  (cd "$data" 2>/dev/null && find . -type f -printf '%p %s %TY-%Tm-%Td %TH:%TM:%TS %m\n' | sort &&
     find . -type f -exec md5sum {} + | sort)
}
seed
seeded=$(snapshot)
grep -q 'Companions' <<<"$seeded" && grep -q 'REG_SZ    "C:' <<<"$seeded" &&
  grep -q 'folder-1.bin 7 2024-02-01 10:00:00' <<<"$seeded" ||
  { fail "the seeds did not take: $seeded"; exit 1; }

# The stand-in tzutil: records its calls, keeps "the zone" in a file.
stand_in="$work/stand-in"
mkdir -p "$stand_in"
cat >"$stand_in/tzutil.cmd" <<'EOF'
@echo off
>>"%~dp0calls.txt" echo %*
if /i "%~1"=="/g" type "%~dp0zone.txt"
if /i "%~1"=="/s" >"%~dp0zone.txt" echo %~2
exit /b 0
EOF
printf 'Tokyo Standard Time\r\n' >"$stand_in/zone.txt"
# An entry that fails after changing all the seeded things, and says which
# zone it ran in.
cat >"$work/changes.cmd" <<'EOF'
@echo off
for /f "delims=" %%z in ('tzutil /g') do >>"%~dp0zones-seen.txt" echo %%z
reg delete "HKCU\SOFTWARE\KX-Lumistamp" /f >nul 2>&1
reg add "HKCU\SOFTWARE\KX-Lumistamp" /v LogFile /t REG_DWORD /d 0 /f >nul 2>&1
reg delete "HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run" /v KX_Lumistamp /f >nul 2>&1
>>"%LOCALAPPDATA%\Lumistamp\Lumistamp.Log" echo a line of the test
del "%LOCALAPPDATA%\Lumistamp\Settled\folder-1.bin"
>"%LOCALAPPDATA%\Lumistamp\Settled\folder-2.bin" echo new
exit /b 3
EOF
unix_crlf() { sed -i 's/$/\r/' "$@"; }
unix_crlf "$stand_in/tzutil.cmd" "$work/changes.cmd"
wrapper="$work/as-windows.cmd"
# as-windows.cmd KIT [NAME]: runs the kit in that folder of WORK as on Windows.
printf '@echo off\r\nset "PATH=%s;%%PATH%%"\r\nset "LUMISTAMP_KIT_AS_WINDOWS=1"\r\ncall "%s\\%%~1\\run-tests.cmd" %%2\r\nexit /b %%errorlevel%%\r\n' \
  "Z:${stand_in//\//\\}" "Z:${work//\//\\}" >"$wrapper"
as_windows="Z:${work//\//\\}\\as-windows.cmd"
mkdir -p "$work/program-run"
{
  echo '{"kind": "ctestInfo", "version": {"major": 1, "minor": 0}, "tests": ['
  entry kit.zone_passes 60 "$app" "[\"$build/wine-run\", \"$app/icon_sizes_tests.exe\"]" \
    '{"name": "ENVIRONMENT", "value": ["TZ=UTC-2"]}'
  echo ,
  entry kit.zone_fails 60 "$work" \
    "[\"$build/wine-run\", \"$cmd\", \"/c\", \"$work/changes.cmd\"]" \
    '{"name": "ENVIRONMENT", "value": ["TZ=CET-1CEST,M3.5.0,M10.5.0/3"]}'
  echo ,
  # The real program, which logs its start into the seeded log file and runs on.
  entry kit.zone_hangs 3 "$work/program-run" "[\"$build/wine-run\", \"$build/app/Lumistamp.exe\"]" \
    '{"name": "ENVIRONMENT", "value": ["TZ=UTC-2"]}'
  echo ']}'
} >"$work/windows.json"
# The real program again, with time to be broken off.
{
  echo '{"kind": "ctestInfo", "version": {"major": 1, "minor": 0}, "tests": ['
  entry kit.broken_off 120 "$work/program-run" "[\"$build/wine-run\", \"$build/app/Lumistamp.exe\"]" \
    '{"name": "ENVIRONMENT", "value": ["TZ=UTC-2"]}'
  echo ']}'
} >"$work/broken.json"
for kit in windows broken; do
  python3 "$root/scripts/test-kit.py" "$work/$kit.json" "$work/$kit" ||
    { fail "test-kit.py did not make the runner $kit as on Windows"; exit 1; }
done

output=$("$wine_run" cmd /c "$as_windows" windows 2>&1)
status=$?
echo "$output"
lines=$(after_notice <<<"$output" | sed -E 's/ \(output in [^)]*\)$//')
expected="passed  kit.zone_passes
FAILED  kit.zone_fails: exit code 3
FAILED  kit.zone_hangs: still running after 3 s, ended
$put_back
0 skipped
1 passed, 2 failed"
[ "$lines" = "$expected" ] || fail "run-tests.cmd as on Windows said:
$lines
expected:
$expected"
[ "$status" -eq 1 ] || fail "run-tests.cmd as on Windows ended with $status, expected 1"
passes_log=$("$wine_run" winepath -u "$temp\\Lumistamp-tests\\kit.zone_passes.log" 2>/dev/null)
grep -q '^\[  PASSED  \] [1-9]' "$passes_log" || fail "kit.zone_passes ran no test: $(cat "$passes_log")"
calls=$(tr -d '\r' <"$stand_in/calls.txt")
expected_calls='/g
/s "South Africa Standard Time"
/s "Tokyo Standard Time"
/g
/s "W. Europe Standard Time"
/g
/s "Tokyo Standard Time"
/g
/s "South Africa Standard Time"
/s "Tokyo Standard Time"'
[ "$calls" = "$expected_calls" ] || fail "tzutil was called:
$calls
expected:
$expected_calls"
seen=$(tr -d '\r' <"$work/zones-seen.txt")
[ "$seen" = "W. Europe Standard Time" ] || fail "kit.zone_fails ran in the zone '$seen'"
zone=$(tr -d '\r' <"$stand_in/zone.txt")
[ "$zone" = "Tokyo Standard Time" ] || fail "the zone after the run: '$zone'"
after=$(snapshot)
[ "$after" = "$seeded" ] || fail "after the run as on Windows the seeded things were:
$after
seeded:
$seeded"

# A run broken off (Ctrl-C, here its cmd ended) while the real program, in the
# entry's zone, writes into the log file: the next run puts it all back first.
: >"$stand_in/calls.txt"
"$wine_run" cmd /c "$as_windows" broken >"$work/broken.txt" 2>&1 &
broken=$!
seeded_log_size=$(stat -c %s "$data/Lumistamp.Log")
program_logged() { (($(stat -c %s "$data/Lumistamp.Log" 2>/dev/null || echo 0) > seeded_log_size)); }
wait_for 60 program_logged ||
  fail "the program of the broken-off run never logged; the run said: $(cat "$work/broken.txt")"
"$wine_run" taskkill /f /im cmd.exe >/dev/null 2>&1
"$wine_run" taskkill /f /im Lumistamp.exe >/dev/null 2>&1
wait "$broken"
[ "$(tr -d '\r' <"$stand_in/zone.txt")" = "South Africa Standard Time" ] ||
  fail "the broken-off run was not in the entry's zone: $(cat "$stand_in/zone.txt")"
output=$("$wine_run" cmd /c "$as_windows" windows kit.zone_passes 2>&1)
lines=$(after_notice <<<"$output")
expected="A run broken off left its changes: putting back the copy it kept.
$put_back
passed  kit.zone_passes
$put_back
0 skipped
1 passed, 0 failed"
[ "$lines" = "$expected" ] || fail "the run after a broken-off one said:
$lines
expected:
$expected"
zone=$(tr -d '\r' <"$stand_in/zone.txt")
[ "$zone" = "Tokyo Standard Time" ] || fail "the zone after a broken-off run and the next: '$zone'"
after=$(snapshot)
[ "$after" = "$seeded" ] || fail "after a broken-off run and the next the seeded things were:
$after
seeded:
$seeded"

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
rm -rf "$work"
echo "run-tests.cmd: pass, fail, time limit, skips, closing line and exit code; as on Windows:" \
  "zones set and put back, the tester's settings, start value and folder put back: all checks passed"
