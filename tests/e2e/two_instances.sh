#!/usr/bin/env bash
# Copies started side by side from the same start directory, each with a
# private run directory of its own holding the 25 files. One is killed with
# SIGKILL and leaves its directory; the next start removes it and leaves the
# live copy's alone, and the user's own folders named like run directories
# (an unpacked source archive holding files of the same names) byte for byte.
# The first live copy to end leaves the other's files alone; both end with
# status 0 and nothing is left behind.
#
#   two_instances.sh PROGRAM PACK
set -u
program=$1
pack=$2
. "$(dirname "$0")/lib.sh"

# await_run_dirs COUNT: waits until COUNT run directories hold 25 files each.
await_run_dirs() {
  for _ in $(seq 100); do
    [ "$(e2e_run_dirs | awk '$2 == 25' | wc -l)" = "$1" ] && return
    sleep 0.1
  done
  e2e_fail "not $1 full run directories: $(e2e_run_dirs)"
}

e2e_begin "$pack"
e2e_start first SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_DIR/first.raw" "$program"
first=$E2E_PID
e2e_start killed SDL_AUDIODRIVER=dummy "$program"
killed=$E2E_PID
first_window=$(e2e_window "$first") || exit 1
e2e_window "$killed" >/dev/null || exit 1
await_run_dirs 2
killed_dir=$(readlink "/proc/$killed/cwd")
kill -KILL "$killed"
e2e_wait_end "$killed" 2
[ -d "$killed_dir" ] || e2e_fail "the killed run's directory went by itself"

mkdir "$E2E_TMP/orvanthelix-master" "$E2E_TMP/orvanthelix-assets"
echo "the user's picture" >"$E2E_TMP/orvanthelix-master/wall0.bmp"
echo "the user's notes" >"$E2E_TMP/orvanthelix-master/README.md"
echo "the user's level" >"$E2E_TMP/orvanthelix-assets/test.bsp"
users() { (cd "$E2E_TMP" && find orvanthelix-master orvanthelix-assets -type f -print0 | sort -z | xargs -0 sha256sum); }
users_before=$(users)

e2e_start second SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_DIR/second.raw" "$program"
second=$E2E_PID
second_window=$(e2e_window "$second") || exit 1
# The window comes before the unpacking, so the killed run's directory still
# counts among the full ones until the second has cleaned it up.
for _ in $(seq 100); do
  [ -e "$killed_dir" ] || break
  sleep 0.1
done
[ -e "$killed_dir" ] && e2e_fail "the killed run's directory is still there: $(e2e_run_dirs)"
await_run_dirs 2
e2e_running "$first" || e2e_fail "the first ended"
[ "$(users)" = "$users_before" ] || e2e_fail "the user's folders changed: $(users)"
rm -r "$E2E_TMP/orvanthelix-master" "$E2E_TMP/orvanthelix-assets"

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
e2e_pass "a killed run's directory went at the next start; both live copies ran and cleaned up"
