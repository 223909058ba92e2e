#!/usr/bin/env bash
# run_script_test.sh
# scripts/run as a user without a display meets it: DISPLAY and WINEDEBUG
# unset, two folders given, and a Wine prefix of its own in a scratch folder
# (never the suite's, never the user's). A folder whose name holds "|", which
# Windows does not allow, is refused with a word of why. The run keeps going; a
# camera picture copied into each folder is renamed to its capture time, in a
# folder whose name begins with 0 (its Windows path holds "\0") and in one whose
# name holds ";"; a second run on the same
# prefix refuses to start; Ctrl-C ends the run and leaves no Wine or Xvfb
# process of it; Wine's messages stay out of the terminal; a program that ends
# at once (here: a display it cannot open) is reported. Reuses the program that
# build/mingw holds. Every wait is bounded, and whatever happens the test ends
# every process of its runs. Not part of ctest: scripts/test runs it.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=SCRIPTDIR/../support/shell_checks.sh
. "$root/tests/support/shell_checks.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/lumistamp-run-test.XXXXXX")
prefix="$work/wine"
folder="$work/01-import"
second_folder="$work/shots; raw"
output="$work/output.txt"
mkdir "$folder" "$second_folder" "$work/a|b"

# Every process a run started (xvfb-run, Xvfb, the Wine session, the program)
# has this run's prefix in its environment.
run_processes() {
  local environ pid
  for environ in $(grep -lzF "$prefix" /proc/[0-9]*/environ 2>/dev/null); do
    pid=${environ#/proc/}
    echo "${pid%/environ}"
  done
}
program_runs() {
  local pid
  for pid in $(run_processes); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Lumistamp.exe ] && return 0
  done
  return 1
}
nothing_left() { [ -z "$(run_processes)" ]; }
show_left() {
  local pid
  for pid in $(run_processes); do ps -o pid=,args= -p "$pid"; done
}

# The environment of a user without a display (more variables may follow).
as_user=(env -u DISPLAY -u WAYLAND_DISPLAY -u XAUTHORITY -u WINEPREFIX -u WINEDEBUG
         -u LUMISTAMP_RUN_UNDER_XVFB "LUMISTAMP_WINEPREFIX=$prefix")
run=
run_ended() { ! kill -0 "$run" 2>/dev/null; }

cleanup() {
  if [ -n "$run" ]; then
    kill -INT -- "-$run" 2>/dev/null && wait_for 20 run_ended
    kill -KILL -- "-$run" 2>/dev/null
  fi
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  local pid
  for pid in $(run_processes); do kill -KILL "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
report() {
  echo "--- scripts/run said:"
  cat "$output"
  echo "--- Wine said:"
  cat "$prefix/wine-output.txt" 2>/dev/null
  echo "$failures failed"
  exit 1
}
trap 'echo "FAILED: interrupted"; exit 1' INT TERM

# The picture: a real camera's when the samples lie beside the project, else
# the smallest JPEG a camera could write, DateTimeOriginal in its Exif IFD.
samples="$root/../shared/exif-samples"
picture="$work/IMG_0001.jpg"
if [ -f "$samples/Canon_40D.jpg" ]; then
  cp "$samples/Canon_40D.jpg" "$picture"
  stamp=$(awk -F'\t' '$1 == "Canon_40D.jpg" { print $3 }' "$samples/expected.tsv")
else
  echo "Camera samples not found in $samples: the test writes a JPEG of its own."
  {
    printf '\xff\xd8\xff\xe1\x00\x48Exif\x00\x00'  # SOI; APP1, 72 bytes
    printf 'II\x2a\x00\x08\x00\x00\x00'             # TIFF header, IFD0 at 8
    # IFD0: one entry, 0x8769 (LONG) = 26, the Exif IFD; no next IFD.
    printf '\x01\x00\x69\x87\x04\x00\x01\x00\x00\x00\x1a\x00\x00\x00\x00\x00\x00\x00'
    # Exif IFD: one entry, 0x9003 (ASCII, 20 bytes at 44); no next IFD.
    printf '\x01\x00\x03\x90\x02\x00\x14\x00\x00\x00\x2c\x00\x00\x00\x00\x00\x00\x00'
    printf '2021:06:15 10:20:30\x00\xff\xd9'
  } >"$picture"
  stamp=20210615_102030
fi

# Job control gives the run a process group of its own, as a terminal does, so
# that Ctrl-C reaches all of it. Making the fresh prefix first may take a while
# on a loaded machine.
refused=$(timeout 60 "${as_user[@]}" "$root/scripts/run" "$folder" "$work/a|b" </dev/null 2>&1)
status=$?
[ "$status" -eq 2 ] || fail "a folder named a|b: scripts/run ended with $status, expected 2"
grep -qF "cannot watch $work/a|b: its path holds '|', which Windows does not allow in a name" \
  <<<"$refused" || fail "a folder named a|b was not refused with a word of why: $refused"
[ ! -e "$prefix" ] || fail "a refused folder still had a Wine prefix made"

set -m
"${as_user[@]}" "$root/scripts/run" "$folder" "$second_folder" </dev/null >"$output" 2>&1 &
run=$!
set +m
started_or_ended() { program_runs || run_ended; }
if ! wait_for 240 started_or_ended || ! program_runs; then
  fail "the program never started"
  report
fi
grep -q '^No display: running under Xvfb' "$output" || fail "no word of Xvfb in the output"

cp "$picture" "$folder/"
cp "$picture" "$second_folder/"
renamed() { [ -f "$1/$stamp.jpg" ] && [ ! -e "$1/IMG_0001.jpg" ]; }
wait_for 20 renamed "$folder" ||
  fail "IMG_0001.jpg was not renamed to $stamp.jpg in 01-import: $(ls "$folder")"
wait_for 20 renamed "$second_folder" ||
  fail "IMG_0001.jpg was not renamed to $stamp.jpg in 'shots; raw': $(ls "$second_folder")"
run_ended && fail "scripts/run ended after the rename"

second=$(timeout 60 "${as_user[@]}" "$root/scripts/run" "$folder" </dev/null 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "a second run on the same prefix ended with $status, expected 1"
grep -q 'Lumistamp already runs in the Wine prefix' <<<"$second" ||
  fail "a second run did not say that Lumistamp already runs: $second"

# Ctrl-C ends the program, its Wine session and the Xvfb.
kill -INT -- "-$run"
if ! wait_for 30 run_ended; then
  fail "Ctrl-C did not end scripts/run within 30 s"
  report
fi
wait "$run"
run=
wait_for 10 nothing_left || fail "processes of the run are left after Ctrl-C: $(show_left)"

noise=$(grep -i -E '^wine:|wine32|fixme|err:|X connection' "$output")
[ -z "$noise" ] || fail "Wine's messages reached the terminal: $noise"

# A display that cannot be opened: the program ends at once, and the run says so.
display=4000
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
quick=$(timeout 120 "${as_user[@]}" "DISPLAY=:$display" "$root/scripts/run" "$folder" </dev/null 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "a run on a display it cannot open ended with $status, expected 1"
grep -q 'Lumistamp ended .* after it started, with exit status 1' <<<"$quick" ||
  fail "a run whose program ended at once did not say so: $quick"
wait_for 15 nothing_left || fail "processes of the last run are left: $(show_left)"

((failures)) && report
echo "scripts/run without a display: all checks passed"
