# shellcheck shell=bash
# Shared by the shell tests: failures counted as they are met (each says
# "FAILED: ..."), and bounded polling. Source it.

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Polls a command every 0.2 s for at most $1 seconds; true once it succeeds.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}
