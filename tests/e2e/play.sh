#!/usr/bin/env bash
# Playing, as a user does, with the audio captured by SDL's disk driver:
# standing still the view stays still; holding W for a second changes it;
# moving the mouse sideways turns it; Space plays the jump sound, heard in the
# capture after the key went down and within a second of it; the music is in
# the capture from its start; Escape ends the run in order.
#
#   play.sh PROGRAM CHECK ORVTOOL PACK
set -u
program=$1
check=$2
orvtool=$3
pack=$4
. "$(dirname "$0")/lib.sh"

e2e_begin "$pack"
# What the program should play, taken from the same pack.
"$orvtool" pack extract "$pack" SOUNDJUMP "$E2E_DIR/jump.wav" >/dev/null || e2e_fail "no jump sound in the pack"
"$orvtool" pack extract "$pack" MP3TEST "$E2E_DIR/music.mp3" >/dev/null || e2e_fail "no music in the pack"
capture=$E2E_DIR/capture.raw
e2e_start program SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$capture" "$program"
pid=$E2E_PID
window=$(e2e_window "$pid") || exit 1

# still NAME: waits until two screenshots in a row show the same view, and
# keeps the second as NAME.ppm.
still() {
  local shot=$E2E_DIR/$1.ppm
  e2e_screenshot "$shot.before"
  for _ in $(seq 30); do
    sleep 0.3
    e2e_screenshot "$shot"
    "$check" still "$shot.before" "$shot" >/dev/null && return
    mv "$shot" "$shot.before"
  done
  e2e_fail "the view did not come to rest for $1"
}
# Frames captured so far: the disk driver appends each period as it plays it.
captured() { echo $(( $(stat -c %s "$capture") / 8 )); }

e2e_await_level "$check" "$E2E_DIR/level.ppm"
still standing

e2e_hold "$window" w 1 "$pid"
e2e_screenshot "$E2E_DIR/walked.ppm"
"$check" changed "$E2E_DIR/standing.ppm" "$E2E_DIR/walked.ppm" || e2e_fail "holding W did not change the view"

still walked-rest
xdotool mousemove_relative -- 150 0
sleep 0.5
e2e_screenshot "$E2E_DIR/turned.ppm"
"$check" changed "$E2E_DIR/walked-rest.ppm" "$E2E_DIR/turned.ppm" || e2e_fail "moving the mouse did not turn the view"

still turned-rest
pressed=$(captured)
e2e_hold "$window" space 0.3 "$pid"
sleep 1
heard_by=$(captured)

asked=$EPOCHREALTIME
e2e_hold "$window" Escape 2 "$pid"
e2e_wait_end "$pid" 2 "$asked"
e2e_expect_orderly_end

"$check" music "$capture" "$E2E_DIR/music.mp3" "$pressed" || e2e_fail "the music is not in the capture from its start"
"$check" jump "$capture" "$E2E_DIR/jump.wav" "$pressed" "$heard_by" || e2e_fail "the jump sound was not heard when Space was pressed"
e2e_pass "W walked, the mouse turned, Space jumped with its sound, the music played; Escape ended the run in ${E2E_WAITED} ms"
