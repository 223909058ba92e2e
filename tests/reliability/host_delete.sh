#!/bin/sh
# Runs the monitor test whose watched folder another program deletes: the
# test (under Wine) asks by writing "delete-<name>" into the scratch folder,
# and this script, a process of the host system, deletes <name> outright and
# then the request.
#   host_delete.sh WINE_RUN TEST_EXE SCRATCH_FOLDER
set -u
wine_run=$1 test_exe=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
# The scratch folder as the test sees it: the host's root is drive Z:.
LUMISTAMP_HOST_SCRATCH="Z:$(printf '%s' "$scratch" | tr / '\\')"
export LUMISTAMP_HOST_SCRATCH

"$wine_run" "$test_exe" --gtest_filter='*DeletedByAnotherProgram*' &
test_pid=$!
while kill -0 "$test_pid" 2>/dev/null; do
  for request in "$scratch"/delete-*; do
    [ -e "$request" ] || continue
    rm -rf "$scratch/$(cat "$request")"
    rm -f "$request"
  done
  sleep 0.1
done
wait "$test_pid"
status=$?
rm -rf "$scratch"
exit $status
