#!/usr/bin/env bash
# Start-up failures as a user meets them:
#   no-display    DISPLAY not set: no window, one line on stderr that names
#                 DISPLAY, exit status 1
# and those answered in their message boxes:
#   no-pack       no pack in the start directory: one line on stderr names the
#                 pack and the folder, and the "Binary Space Partition could
#                 not be loaded." box, answered with Return, ends the run
#   no-audio-ignore, no-audio-abort
#                 no usable audio driver: the "Sound initialization failed."
#                 box with Abort, Retry and Ignore; Ignore runs the game
#                 silently (it shows the level and ends on Escape), Abort ends
#                 the run
#   no-pack-sigterm, no-pack-sighup
#                 the signal while the no-pack box is up closes the box and
#                 ends the run within two seconds, as if it had been answered
#   no-pack-sigkill
#                 the program killed while the box is up: the box goes too
#   hostile-pack  the demo pack with an extra entry "TEXTURE../../x": nothing
#                 is unpacked, one line on stderr names the entry, and the
#                 no-pack box ends the run; nothing is written outside the run
#                 directory
# Every way the start failed ends with status 1 (the played game of
# no-audio-ignore with 0); every way but the kill leaves nothing in the run's
# TMPDIR and the start directory as it was.
#
#   startup_failure.sh PROGRAM CHECK PACK CASE
set -u
program=$1
check=$2
pack=$3
case=$4
. "$(dirname "$0")/lib.sh"

# click BOX BUTTON COUNT: clicks the BUTTON-th button (1 = leftmost) of BOX,
# found in a screenshot of the box, after checking the box has COUNT buttons.
# A box is placed and drawn after it appears: the screenshot is taken once
# its place has held still, and taken again while it shows no buttons yet.
click() {
  local box=$1 button=$2 count=$3 before after
  for _ in $(seq 50); do
    before=$(xdotool getwindowgeometry --shell "$box")
    sleep 0.2
    import -window "$box" -depth 8 "ppm:$E2E_DIR/box.ppm" || e2e_fail "no screenshot of the box"
    after=$(xdotool getwindowgeometry --shell "$box")
    mapfile -t centres < <("$check" buttons "$E2E_DIR/box.ppm")
    [ "$before" = "$after" ] && [ "${#centres[@]}" -gt 0 ] && break
  done
  [ "${#centres[@]}" = "$count" ] || e2e_fail "the box has ${#centres[@]} buttons, not $count"
  eval "$after"
  read -r x y <<<"${centres[$((button - 1))]}"
  xdotool mousemove $((X + x)) $((Y + y)) click 1
}

if [ "$case" = no-display ]; then
  e2e_begin "$pack"
  e2e_start program SDL_AUDIODRIVER=dummy env -u DISPLAY "$program"
  e2e_wait_end "$E2E_PID" 10
  e2e_expect_orderly_end 1
  said=$(cat "$E2E_DIR/program.log")
  [ "$(wc -l <"$E2E_DIR/program.log")" = 1 ] && [[ $said == "orvanthelix: "*DISPLAY* ]] ||
    e2e_fail "not one line naming DISPLAY on stderr: $said"
  e2e_pass "no display: status 1 and one line: $said"
  exit 0
fi
if [[ $case == no-pack* ]]; then
  e2e_begin
elif [ "$case" = hostile-pack ]; then
  e2e_begin "$pack"
  e2e_add_entries TEXTURE../../x escape
else
  e2e_begin "$pack"
fi
if [[ $case == no-pack* || $case == hostile-pack ]]; then
  e2e_start program SDL_AUDIODRIVER=dummy "$program"
else
  e2e_start program SDL_AUDIODRIVER=nonexistent "$program"
fi
pid=$E2E_PID
window=$(e2e_window "$pid") || exit 1

case $case in
  hostile-pack)
    box=$(e2e_box "$window" "Error-Reporting: g_Bsp.Load") || exit 1
    xdotool key --window "$box" Return
    e2e_wait_end "$pid" 10
    [ -e "$E2E_DIR/x" ] && e2e_fail "the entry was written outside the run directory"
    grep -qx "orvanthelix: the pack entry TEXTURE\.\./\.\./x is refused: .*; nothing is unpacked\." "$E2E_DIR/program.log" ||
      e2e_fail "no line naming the entry: $(cat "$E2E_DIR/program.log")"
    ;;
  no-pack)
    box=$(e2e_box "$window" "Error-Reporting: g_Bsp.Load") || exit 1
    xdotool key --window "$box" Return
    e2e_wait_end "$pid" 10
    [ "$(grep -c Orvanthelix.zar "$E2E_DIR/program.log")" = 1 ] &&
      grep -qx "orvanthelix: no asset pack \"Orvanthelix.zar\" in $E2E_START, .*" "$E2E_DIR/program.log" ||
      e2e_fail "no one line naming the pack and the folder: $(cat "$E2E_DIR/program.log")"
    ;;
  no-pack-sigterm | no-pack-sighup | no-pack-sigkill)
    box=$(e2e_box "$window" "Error-Reporting: g_Bsp.Load") || exit 1
    asked=$EPOCHREALTIME
    signal=${case#no-pack-}
    kill -s "${signal^^}" "$pid"
    e2e_wait_end "$pid" 2 "$asked"
    for _ in $(seq 20); do
      xwininfo -id "$box" >/dev/null 2>&1 || break
      sleep 0.1
    done
    xwininfo -id "$box" >/dev/null 2>&1 && e2e_fail "the box outlived the run"
    if [ "$case" = no-pack-sigkill ]; then
      e2e_pass "$case: the box went with the killed run"
      exit 0
    fi
    ;;
  no-audio-abort)
    box=$(e2e_box "$window" "Error-Reporting: DSound_Init") || exit 1
    click "$box" 1 3
    e2e_wait_end "$pid" 10
    ;;
  no-audio-ignore)
    box=$(e2e_box "$window" "Error-Reporting: DSound_Init") || exit 1
    click "$box" 3 3
    e2e_await_level "$check" "$E2E_DIR/ignored.ppm"
    e2e_hold "$window" space 0.3 "$pid"  # a jump with the sound switched off
    asked=$EPOCHREALTIME
    e2e_hold "$window" Escape 2 "$pid"
    e2e_wait_end "$pid" 2 "$asked"
    ;;
  *) e2e_fail "unknown case: $case" ;;
esac
status=1
[ "$case" = no-audio-ignore ] && status=0
e2e_expect_orderly_end $status
e2e_pass "$case: the box was answered and the run ended in ${E2E_WAITED} ms with status $E2E_STATUS, leaving nothing behind"
