#!/usr/bin/env bash
# The program as a user starts it, from a directory holding the asset pack:
# a window titled "Orvanthelix 3D Engine" covering the screen appears, and
# screenshots from the first second on show the level letterboxed at 4:3 (with
# OVERLAY=overlay also the crosshair and the three overlay texts). Then the
# run ends the orderly way, within two seconds, on QUIT: Escape held on the
# window (escape), SIGTERM (sigterm), SIGHUP as when its terminal closes
# (sighup), or the window closed as a window manager closes it, with
# WM_DELETE_WINDOW (close); the exit status is 0, the private run directory
# with its 25 unpacked files is gone and the start directory is as it was.
# With display-gone the X server ends under it: the same, but the status is 1
# and one line on stderr says the display went away. With ignored-sighup the
# program is started with SIGHUP ignored, as nohup starts it: SIGHUP leaves it
# running, and SIGTERM then ends it. With EXTRAS (extras) the pack also holds
# an extra texture and lightmap page, which the run directory holds too (with
# their list) while it runs, and which go with it.
#
#   window_and_quit.sh PROGRAM CHECK PACK OVERLAY QUIT [EXTRAS]
set -u
program=$1
check=$2
pack=$3
overlay=$4
quit=$5
extras=${6:-}
. "$(dirname "$0")/lib.sh"

e2e_begin "$pack"
files=25
if [ "$extras" = extras ]; then
  e2e_add_entries TEXTUREBRICK_7 "a brick" LMAPTEST-LM005 "a page"
  files=28
fi
if [ "$quit" = ignored-sighup ]; then
  e2e_start program SDL_AUDIODRIVER=dummy bash -c "trap '' HUP; exec \"\$0\"" "$program"
else
  e2e_start program SDL_AUDIODRIVER=dummy "$program"
fi
pid=$E2E_PID
window=$(e2e_window "$pid") || exit 1

read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ {split($2, s, "x"); print s[1], s[2]}')
eval "$(xdotool getwindowgeometry --shell "$window")"
if [ "$WIDTH" != "$screen_w" ] || [ "$HEIGHT" != "$screen_h" ] || [ "$X" != 0 ] || [ "$Y" != 0 ]; then
  e2e_fail "window is ${WIDTH}x${HEIGHT}+${X}+${Y}, screen is ${screen_w}x${screen_h}"
fi

flag=""
[ "$overlay" = overlay ] && flag=--overlay
e2e_await_level "$check" "$E2E_DIR/level.ppm" $flag

# While it runs, its own directory holds what it unpacked.
[ "$(e2e_run_dirs | awk '{print $2}')" = "$files" ] || e2e_fail "run directories while running: $(e2e_run_dirs)"
if [ "$extras" = extras ]; then
  [ "$(cat "$E2E_TMP"/*/brick_7.bmp)" = "a brick" ] || e2e_fail "no extra texture in the run directory"
fi

asked=$EPOCHREALTIME
case $quit in
  escape) e2e_hold "$window" Escape 2 "$pid" ;;
  sigterm) kill -TERM "$pid" ;;
  sighup) kill -HUP "$pid" ;;
  ignored-sighup)
    kill -HUP "$pid"
    e2e_await_level "$check" "$E2E_DIR/after-sighup.ppm" $flag
    e2e_running "$pid" || e2e_fail "SIGHUP ended a run that ignores it"
    asked=$EPOCHREALTIME
    kill -TERM "$pid"
    ;;
  display-gone) kill "$E2E_XVFB" ;;
  close) "$check" close "$window" || e2e_fail "the window could not be closed" ;;
  *) e2e_fail "unknown way to quit: $quit" ;;
esac
e2e_wait_end "$pid" 2 "$asked"
if [ "$quit" = display-gone ]; then
  e2e_expect_orderly_end 1
  grep -q '^orvanthelix: the display ".*" went away' "$E2E_DIR/program.log" || e2e_fail "said: $(cat "$E2E_DIR/program.log")"
else
  e2e_expect_orderly_end
fi
e2e_pass "the level showed; $quit ended the run in ${E2E_WAITED} ms with status $E2E_STATUS, leaving nothing behind"
