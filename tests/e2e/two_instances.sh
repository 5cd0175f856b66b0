#!/usr/bin/env bash
# Two copies started side by side from the same start directory: both run,
# each with a private run directory of its own holding the 25 files; the first
# to end leaves the other's files alone; both end with status 0 and nothing is
# left behind.
#
#   two_instances.sh PROGRAM PACK
set -u
program=$1
pack=$2
. "$(dirname "$0")/lib.sh"

e2e_begin "$pack"
e2e_start first SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_DIR/first.raw" "$program"
first=$E2E_PID
e2e_start second SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_DIR/second.raw" "$program"
second=$E2E_PID
first_window=$(e2e_window "$first") || exit 1
second_window=$(e2e_window "$second") || exit 1

for _ in $(seq 100); do
  [ "$(e2e_run_dirs | awk '$2 == 25' | wc -l)" = 2 ] && break
  sleep 0.1
done
[ "$(e2e_run_dirs | awk '$2 == 25' | wc -l)" = 2 ] || e2e_fail "run directories: $(e2e_run_dirs)"

asked=$EPOCHREALTIME
e2e_hold "$first_window" Escape 2 "$first"
e2e_wait_end "$first" 2 "$asked"
[ "$E2E_STATUS" = 0 ] || e2e_fail "the first ended with status $E2E_STATUS"
e2e_running "$second" || e2e_fail "the second ended with the first"
[ "$(e2e_run_dirs | awk '{print $2}')" = 25 ] || e2e_fail "the second's files after the first ended: $(e2e_run_dirs)"

asked=$EPOCHREALTIME
e2e_hold "$second_window" Escape 2 "$second"
e2e_wait_end "$second" 2 "$asked"
e2e_expect_orderly_end
e2e_pass "both ran from one directory and both cleaned up"
