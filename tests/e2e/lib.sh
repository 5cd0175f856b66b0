# shellcheck shell=bash disable=SC2034  # E2E_STATUS, E2E_WAITED: for the scripts
# Shared by the end-to-end scripts: the program run as a user runs it, on a
# screen of the test's own, from a start directory of the test's own, and never
# left behind.
#
# A script sources this file, then calls e2e_begin. Every program it starts
# with e2e_start is killed with SIGKILL after E2E_BOUND seconds, and whatever
# ends the script kills what is still running, so a hung program never hangs
# the suite. Failures exit the script with a message on stderr.

E2E_BOUND=${E2E_BOUND:-60}  # seconds any one program may run
declare -A E2E_WATCHDOG_OF   # each program started and not yet waited for: its watchdog
E2E_XVFB=""

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

e2e_cleanup() {
  local p
  for p in "${!E2E_WATCHDOG_OF[@]}"; do
    kill -KILL "$p" 2>/dev/null
    kill "${E2E_WATCHDOG_OF[$p]}" 2>/dev/null
  done
  [ -n "$E2E_XVFB" ] && kill "$E2E_XVFB" 2>/dev/null
  wait 2>/dev/null
  # A failed run keeps its directory (screenshots, captures, logs) for a look.
  if [ "${E2E_PASSED:-0}" = 1 ]; then rm -rf "$E2E_DIR"; else echo "kept for a look: $E2E_DIR"; fi
}

# e2e_begin [PACK]: makes the test's directory E2E_DIR with the start
# directory E2E_START (holding a copy of PACK, when given) and the run's
# TMPDIR E2E_TMP, notes the start directory's listing and checksums, and starts
# a private Xvfb screen of 1280x720: each test has the screen to itself, so
# screenshots, the pointer and message boxes are never another test's.
e2e_begin() {
  E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/orvanthelix-e2e-XXXXXX")
  trap e2e_cleanup EXIT
  E2E_START=$E2E_DIR/start
  E2E_TMP=$E2E_DIR/tmp
  mkdir "$E2E_START" "$E2E_TMP"
  if [ $# -ge 1 ]; then cp "$1" "$E2E_START/Orvanthelix.zar" || e2e_fail "no pack at $1"; fi
  e2e_start_listing=$(e2e_listing)

  # Xvfb picks a free display number itself and writes it, with a line end, to
  # fd 3. -noreset: by default an X server resets whenever its last client
  # leaves, as the checks here (xdpyinfo, xdotool) do all the time; a program
  # connecting during a reset is refused, or reads a screen of height 0 from
  # it. A desktop's server always has clients; this one must not reset either.
  Xvfb -displayfd 3 -noreset -screen 0 1280x720x24 -nolisten tcp 3>"$E2E_DIR/display" >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_XVFB=$!
  for _ in $(seq 200); do
    grep -q '^[0-9]*$' "$E2E_DIR/display" 2>/dev/null && [ "$(wc -l <"$E2E_DIR/display")" = 1 ] && break
    sleep 0.1
  done
  DISPLAY=":$(cat "$E2E_DIR/display")"
  export DISPLAY
  xdpyinfo >/dev/null 2>&1 || e2e_fail "Xvfb did not start"
}

# e2e_add_entries NAME TEXT [NAME TEXT...]: adds entries holding TEXT to the
# pack in the start directory (in the pack writer's canonical form: the count
# line, a line per entry, then the data, each entry's followed by a line
# feed), after its own, and notes the start directory again.
e2e_add_entries() {
  local pack=$E2E_START/Orvanthelix.zar count i
  local -a added=("$@")
  count=$(head -n1 "$pack")
  {
    echo $((count + ${#added[@]} / 2))
    sed -n "2,$((count + 1))p" "$pack"
    for ((i = 0; i < ${#added[@]}; i += 2)); do echo "${added[i]} ${#added[i + 1]}"; done
    tail -n +$((count + 2)) "$pack"
    for ((i = 1; i < ${#added[@]}; i += 2)); do echo "${added[i]}"; done
  } >"$pack.new" && mv "$pack.new" "$pack" || e2e_fail "no pack with the entries added"
  e2e_start_listing=$(e2e_listing)
}

# The start directory's entries (mode, size, modification time, name) and
# its files' checksums.
e2e_listing() {
  (cd "$E2E_START" && find . -printf '%M %s %T@ %p\n' | sort && find . -type f -print0 | sort -z | xargs -0 -r sha256sum)
}

# e2e_start NAME [VAR=VALUE...] PROGRAM: starts PROGRAM in the start
# directory with TMPDIR set to E2E_TMP and the variables given, its output in
# E2E_DIR/NAME.log, and a watchdog that kills it after E2E_BOUND seconds.
# Sets E2E_PID.
e2e_start() {
  local name=$1
  shift
  (cd "$E2E_START" && exec env TMPDIR="$E2E_TMP" "$@" >"$E2E_DIR/$name.log" 2>&1) &
  E2E_PID=$!
  # The watchdog's sleep is ended with it, so nothing of it outlives the test.
  (
    trap 'kill $sleeper 2>/dev/null; exit' TERM
    sleep "$E2E_BOUND" &
    sleeper=$!
    wait $sleeper
    kill -KILL "$E2E_PID" 2>/dev/null
  ) >/dev/null 2>&1 &
  E2E_WATCHDOG_OF[$E2E_PID]=$!
}

# Whether PID still runs.
e2e_running() { kill -0 "$1" 2>/dev/null; }

# e2e_window PID: the window titled "Orvanthelix 3D Engine" that PID made.
e2e_window() {
  local window
  for _ in $(seq 200); do
    window=$(xdotool search --all --pid "$1" --name '^Orvanthelix 3D Engine$' 2>/dev/null | head -1)
    [ -n "$window" ] && { echo "$window"; return; }
    e2e_running "$1" || e2e_fail "the program ended before its window appeared; its output: $(cat "$E2E_DIR"/*.log)"
    sleep 0.1
  done
  e2e_fail "no window titled 'Orvanthelix 3D Engine' appeared"
}

# e2e_box OWNER CAPTION: the message box titled CAPTION that belongs to the
# window OWNER. SDL's boxes carry their title only as the window name, which
# `xdotool search` does not find, and are transient for their owner.
e2e_box() {
  local owner=$1 caption=$2 box
  for _ in $(seq 200); do
    for box in $(xwininfo -root -tree | awk -v name="\"$caption\":" 'index($0, name) {print $1}'); do
      if xprop -id "$box" WM_TRANSIENT_FOR 2>/dev/null | grep -q "# $(printf '0x%x' "$owner")\$"; then
        echo "$box"
        return
      fi
    done
    sleep 0.1
  done
  e2e_fail "no box titled '$caption' appeared"
}

# e2e_hold WINDOW KEY SECONDS [PID]: holds KEY down on WINDOW, sending it
# again every 0.1 s as a keyboard's auto-repeat does, then lets it go; stops
# early when PID ends. Keys go to the window itself, so nothing else on the
# screen takes them.
e2e_hold() {
  local window=$1 key=$2 seconds=$3 pid=${4:-}
  for _ in $(seq "$(awk -v s="$seconds" 'BEGIN {print int(s * 10 + 0.5)}')"); do
    [ -n "$pid" ] && ! e2e_running "$pid" && return
    xdotool keydown --window "$window" "$key" 2>/dev/null
    sleep 0.1
  done
  [ -n "$pid" ] && ! e2e_running "$pid" && return
  xdotool keyup --window "$window" "$key" 2>/dev/null
}

# e2e_screenshot FILE: the whole screen as a PPM file.
e2e_screenshot() { import -window root -depth 8 "ppm:$1" || e2e_fail "no screenshot"; }

# e2e_await_level CHECK SHOT [--overlay]: from one second on, takes
# screenshots into SHOT until `CHECK picture` finds the level in one (a loaded
# machine may take longer to start); fails with its findings after 20 s.
e2e_await_level() {
  local check=$1 shot=$2 overlay=${3:-} start=$EPOCHREALTIME
  sleep 1
  while :; do
    e2e_screenshot "$shot"
    "$check" picture "$shot" ${overlay:+"$overlay"} >"$shot.problems" && return
    [ "$(e2e_since "$start")" -ge 20000 ] && e2e_fail "no level on the screen: $(cat "$shot.problems")"
    sleep 0.5
  done
}

# e2e_wait_end PID SECONDS [SINCE]: waits until SECONDS after SINCE (an
# EPOCHREALTIME reading; now when not given) for PID to end; sets E2E_STATUS
# to its exit status and E2E_WAITED to the milliseconds from SINCE to its end.
# Fails when it still runs. The sanitizer build's programs end more slowly
# (the leak check runs at exit): scripts/sanitize sets E2E_END_SCALE, by which
# SECONDS is multiplied.
e2e_wait_end() {
  local pid=$1 seconds=$(( $2 * ${E2E_END_SCALE:-1} )) start=${3:-$EPOCHREALTIME}
  while e2e_running "$pid"; do
    [ "$(e2e_since "$start")" -ge "$(( seconds * 1000 ))" ] && e2e_fail "still running after ${seconds} s"
    sleep 0.05
  done
  E2E_WAITED=$(e2e_since "$start")
  wait "$pid"
  E2E_STATUS=$?
  # Once waited for, its process id may be another's: nothing kills it any more.
  kill "${E2E_WATCHDOG_OF[$pid]}" 2>/dev/null
  unset "E2E_WATCHDOG_OF[$pid]"
}

# Milliseconds since an EPOCHREALTIME reading.
e2e_since() {
  local now=${EPOCHREALTIME/./} then=${1/./}
  echo $(( (10#$now - 10#$then) / 1000 ))
}

# The private run directories under E2E_TMP, and how many unpacked files each
# holds (the run's mark not counted).
e2e_run_dirs() {
  local dir
  for dir in "$E2E_TMP"/*/; do
    [ -d "$dir" ] && echo "$(basename "$dir") $(find "$dir" -type f ! -name .orvanthelix-run | wc -l)"
  done
}

# e2e_expect_orderly_end [STATUS]: the last wait ended with STATUS (0 when
# not given), nothing is left under E2E_TMP, and the start directory is as it
# was.
e2e_expect_orderly_end() {
  [ "$E2E_STATUS" = "${1:-0}" ] || e2e_fail "exit status $E2E_STATUS, not ${1:-0}; its output: $(cat "$E2E_DIR"/*.log)"
  [ -z "$(ls -A "$E2E_TMP")" ] || e2e_fail "left behind: $(cd "$E2E_TMP" && find .)"
  [ "$(e2e_listing)" = "$e2e_start_listing" ] || e2e_fail "the start directory changed:
$(diff <(echo "$e2e_start_listing") <(e2e_listing))"
}

# Called last by a script that passed.
e2e_pass() {
  E2E_PASSED=1
  echo "PASS: $*"
}
