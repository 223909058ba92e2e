#!/bin/sh
# Runs a test executable under Wine while this script, a process of the host
# system, does for it what Wine cannot: the test writes a request file
# "<verb>-<name>" holding <name> into the scratch folder, and the script
#   delete-<name>   deletes <name> outright (rm -rf);
#   mount-<name>    makes <name> a file system of its own (a tmpfs, as root),
#                   of 16 MiB or of the size on the request's second line
#                   ("64k");
#   fill-<name>     fills the file system at <name> with a file "filler" up
#                   to the bytes the request's second line leaves free;
#   unmount-<name>  detaches that file system as a pulled disk goes (a lazy
#                   unmount: a plain one is refused while a program holds it)
#                   and removes its mount point;
# then removes the request. <name> may be a path below the scratch folder
# ("a/b"); the request's own name then need not repeat it. A request it cannot
# carry out leaves "<request>.refused" with the reason instead.
#   host_requests.sh WINE_RUN TEST_EXE SCRATCH_FOLDER [TEST ARGUMENTS...]
set -u
wine_run=$1 test_exe=$2 scratch=$3
shift 3

unmount_all() {
  # Deepest first; lazy, since the program under test may hold one still.
  awk -v root="$scratch/" 'index($2, root) == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r mount; do umount -l "$mount"; done
}
unmount_all
rm -rf "$scratch"
mkdir -p "$scratch"
trap 'unmount_all; rm -rf "$scratch"' EXIT
# The scratch folder as the test sees it: the host's root is drive Z:.
LUMISTAMP_HOST_SCRATCH="Z:$(printf '%s' "$scratch" | tr / '\\')"
export LUMISTAMP_HOST_SCRATCH

fill() {  # folder bytes-to-leave-free
  free=$(df -B1 --output=avail "$1" | tail -n 1) || return 1
  [ "$free" -ge "$2" ] || { echo "only $free bytes free"; return 1; }
  head -c $((free - $2)) /dev/zero >"$1/filler" && sync "$1/filler"
}

carry_out() {  # verb name [argument]
  target="$scratch/$2"
  case $1 in
    delete) rm -rf "$target" 2>&1 ;;
    mount)
      mkdir -p "$target" && mount -t tmpfs -o "size=${3:-16m}" lumistamp-test "$target" 2>&1
      ;;
    fill) fill "$target" "${3:-0}" 2>&1 ;;
    unmount) umount -l "$target" 2>&1 && rmdir "$target" 2>&1 ;;
    *) echo "unknown request $1" ;;
  esac
}

"$wine_run" "$test_exe" "$@" &
test_pid=$!
while kill -0 "$test_pid" 2>/dev/null; do
  for request in "$scratch"/delete-* "$scratch"/mount-* "$scratch"/fill-* "$scratch"/unmount-*; do
    [ -e "$request" ] || continue
    case $request in *.refused) continue ;; esac
    name=$(head -n 1 "$request")
    [ -n "$name" ] || continue  # still being written
    argument=$(sed -n 2p "$request")
    verb=$(basename "$request")
    verb=${verb%%-*}
    if reason=$(carry_out "$verb" "$name" "$argument"); then
      rm -f "$request"
    else
      printf '%s\n' "$reason" >"$request.refused"
      rm -f "$request"
    fi
  done
  sleep 0.1
done
wait "$test_pid"
