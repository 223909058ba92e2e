#!/usr/bin/env bash
# test_kit_test.sh WINE_RUN BUILD WORK
# The test kit's runner, run-tests.cmd, made by scripts/test-kit.py from a
# test list of a few entries and run by Wine's cmd as Windows would run it:
# a program that passes; one whose filter matches no test, one that ends with
# exit code 3 and one that outlives its time limit (all three failed, the last
# ended); one whose exit code is its entry's skip code, one a shell script
# drives, and one whose every test skips itself (all three skipped, with the
# reason), and one that sets TZ (skipped: Wine takes the zone from the Linux
# environment it starts with; on Windows tzutil switches it). One line per
# entry, then the closing line, and exit code 1. WORK is made anew each run.
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
# Only the entry named on the command line; all passed: exit code 0.
output=$("$wine_run" cmd /c "$runner" kit.passes 2>&1)
status=$?
lines=$(tr -d '\r' <<<"$output")
[ "$lines" = "passed  kit.passes
0 skipped
1 passed, 0 failed" ] || fail "run-tests.cmd kit.passes said: $lines"
[ "$status" -eq 0 ] || fail "run-tests.cmd kit.passes ended with $status, expected 0"

output=$("$wine_run" cmd /c "$runner" 2>&1)
status=$?
echo "$output"
# The lines, without the log file each names (the prefix's temporary folder).
lines=$(tr -d '\r' <<<"$output" | sed -E 's/ \(output in [^)]*\)$//; s/ \(exit code 77, output in [^)]*\)$/ (exit code 77)/')
expected="passed  kit.passes
FAILED  kit.no_test: its filter matched no test
FAILED  kit.exit_code: exit code 3
FAILED  kit.hangs: still running after 3 s, ended
SKIPPED kit.skip_code: it skipped itself (exit code 77)
SKIPPED kit.host: needs the Linux host: installer_test.sh drives it
SKIPPED kit.windows_only: Windows only: Wine opens paths past MAX_PATH whatever LongPathsEnabled says
SKIPPED kit.time_zone: Wine takes the time zone from the Linux TZ it starts with (ctest sets TZ=UTC-2 for it)
4 skipped
1 passed, 3 failed"
[ "$lines" = "$expected" ] || fail "run-tests.cmd said:
$lines
expected:
$expected"
[ "$status" -eq 1 ] || fail "run-tests.cmd ended with $status, expected 1"

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
rm -rf "$work"
echo "run-tests.cmd: pass, fail, time limit, skips, closing line and exit code: all checks passed"
