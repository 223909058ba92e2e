#!/bin/sh
# Runs the program test whose watched folder holds what only the host system
# can make: a picture whose every read fails (a link to /proc/self/mem, read
# at offsets that are not mapped: an I/O error) and files that refuse to be
# renamed (immutable, which as root makes a rename fail with access denied);
# it also records which files the program opens and reads.
# The test (under Wine) asks for a file to be made renamable again by writing
# "unlock-<name>" into the scratch folder; this script, a process of the host
# system, clears the file's immutable flag and then deletes the request.
#   host_conditions.sh WINE_RUN TEST_EXE SCRATCH_FOLDER
set -u
wine_run=$1 test_exe=$2 scratch=$3
unlock_all() { [ -d "$scratch" ] && chattr -R -i "$scratch" 2>/dev/null; }
unlock_all
rm -rf "$scratch"
mkdir -p "$scratch/watched"
trap 'unlock_all; rm -rf "$scratch"' EXIT
ln -s /proc/self/mem "$scratch/watched/unreadable.jpg"
# Whether this file system and user can make a file immutable: the test skips
# its refusals (with a message) where they cannot.
probe="$scratch/immutable-probe"
: >"$probe"
if chattr +i "$probe" 2>/dev/null; then
  chattr -i "$probe"
  LUMISTAMP_HOST_IMMUTABLE=1
else
  LUMISTAMP_HOST_IMMUTABLE=0
fi
rm -f "$probe"
# What happens to the watched folder's files, as the host's kernel sees it:
# every open, read and close, one line each ("OPEN name", "ACCESS name"), so
# that the test can tell which pictures the program read and when. Where
# inotifywait is missing or cannot watch, the test skips those checks.
LUMISTAMP_HOST_FILE_EVENTS=0
if command -v inotifywait >/dev/null; then
  stdbuf -oL inotifywait -m -e open,access,close_nowrite --format '%e %f' "$scratch/watched" \
    >"$scratch/file-events.log" 2>"$scratch/file-events.err" &
  watcher_pid=$!
  trap 'kill "$watcher_pid" 2>/dev/null; unlock_all; rm -rf "$scratch"' EXIT
  for _ in $(seq 100); do
    grep -q "Watches established" "$scratch/file-events.err" 2>/dev/null && break
    sleep 0.1
  done
  grep -q "Watches established" "$scratch/file-events.err" && LUMISTAMP_HOST_FILE_EVENTS=1
fi
# The scratch folder as the test sees it: the host's root is drive Z:.
LUMISTAMP_HOST_SCRATCH="Z:$(printf '%s' "$scratch" | tr / '\\')"
export LUMISTAMP_HOST_SCRATCH LUMISTAMP_HOST_IMMUTABLE LUMISTAMP_HOST_FILE_EVENTS

"$wine_run" "$test_exe" --gtest_filter='HostConditions.*' &
test_pid=$!
while kill -0 "$test_pid" 2>/dev/null; do
  for request in "$scratch"/lock-* "$scratch"/unlock-*; do
    [ -e "$request" ] || continue
    name=$(cat "$request")
    case "$request" in
      */lock-*) chattr +i "$scratch/watched/$name" ;;
      *) chattr -i "$scratch/watched/$name" ;;
    esac
    rm -f "$request"
  done
  sleep 0.1
done
wait "$test_pid"
