#!/usr/bin/env bash
# The program under a real compositor (Weston on the test's private Xvfb,
# through its X11 back end, which gives it an input seat), as most desktops
# run it; MODE is how:
#   xwayland  an X client of XWayland
#   wayland   a Wayland client
#   seatless  a Wayland client of a headless Weston, which offers no input
#             seat: no window, one line naming WAYLAND_DISPLAY, status 1
# Then CASE:
#   escape  full screen asked for and given (XWayland: _NET_WM_STATE_FULLSCREEN
#           at the screen's size; Wayland: set_fullscreen in Weston's protocol
#           log), the level shown letterboxed on the whole screen, the mouse
#           captured (a pointer lock or confinement in the log); Escape ends
#           the run with status 0
#   ended   Weston ended normally (SIGTERM), 10 runs
#   killed  Weston killed (SIGKILL), 3 runs
# Weston's end ends each run within two seconds with status 1 and the line
# that the display went away; nothing is left and nothing runs on.
#
#   compositor.sh PROGRAM CHECK PACK OVERLAY MODE CASE   (OVERLAY as in window_and_quit.sh)
set -u
program=$1
check=$2
pack=$3
overlay=$4
mode=$5
case=$6
. "$(dirname "$0")/lib.sh"

e2e_begin "$pack"

# start_weston N [--debug]: Weston with a runtime directory of its own (with
# --debug logging its protocol); sets WESTON, its log WESTON_LOG, and for
# xwayland XWAYLAND (its X display).
start_weston() {
  local runtime=$E2E_DIR/runtime-$1 debug=""
  [ "${2:-}" = --debug ] && debug=server
  mkdir -m 700 "$runtime"
  local backend=(--backend=x11-backend.so)
  [ "$mode" = xwayland ] && backend+=(--xwayland)
  [ "$mode" = seatless ] && backend=(--backend=headless-backend.so)
  e2e_start "weston-$1" XDG_RUNTIME_DIR="$runtime" WAYLAND_DEBUG=$debug weston "${backend[@]}" --use-pixman \
    --idle-time=0 --socket=orv --width=1280 --height=720
  WESTON=$E2E_PID
  WESTON_LOG=$E2E_DIR/weston-$1.log
  WESTON_RUNTIME=$runtime
  for _ in $(seq 200); do
    [ -S "$runtime/orv" ] && break
    sleep 0.1
  done
  [ -S "$runtime/orv" ] || e2e_fail "Weston did not start: $(cat "$WESTON_LOG")"
  if [ "$mode" = xwayland ]; then
    for _ in $(seq 200); do
      XWAYLAND=$(grep -o 'xserver listening on display :[0-9]*' "$WESTON_LOG" | grep -o ':[0-9]*')
      [ -n "$XWAYLAND" ] && return
      sleep 0.1
    done
    e2e_fail "XWayland did not start"
  fi
}

# run N [--debug]: starts Weston (with --debug, logging its protocol) and the
# program on it, and waits until the level shows on the whole screen (Weston's
# output fills the Xvfb screen); sets PROGRAM (its process) and WINDOW (the X
# window that takes its keys).
run() {
  start_weston "$@"
  if [ "$mode" = xwayland ]; then
    e2e_start "program-$1" XDG_RUNTIME_DIR="$WESTON_RUNTIME" WAYLAND_DISPLAY=orv DISPLAY="$XWAYLAND" \
      SDL_AUDIODRIVER=dummy "$program"
    PROGRAM=$E2E_PID
    WINDOW=$(DISPLAY=$XWAYLAND e2e_window "$PROGRAM") || exit 1
  else
    e2e_start "program-$1" XDG_RUNTIME_DIR="$WESTON_RUNTIME" WAYLAND_DISPLAY=orv SDL_AUDIODRIVER=dummy \
      env -u DISPLAY "$program"
    PROGRAM=$E2E_PID
    WINDOW=$(xwininfo -root -children | awk '/"Weston Compositor/ {print $1}')
  fi
  local flag=""
  [ "$overlay" = overlay ] && flag=--overlay
  e2e_await_level "$check" "$E2E_DIR/level-$1.ppm" $flag
  [ "$(e2e_run_dirs | awk '{print $2}')" = 25 ] || e2e_fail "run directories while running: $(e2e_run_dirs)"
}

if [ "$mode" = seatless ]; then
  start_weston 1
  e2e_start program XDG_RUNTIME_DIR="$WESTON_RUNTIME" WAYLAND_DISPLAY=orv SDL_AUDIODRIVER=dummy env -u DISPLAY "$program"
  e2e_wait_end "$E2E_PID" 10
  e2e_expect_orderly_end 1
  said=$(cat "$E2E_DIR/program.log")
  [ "$(wc -l <"$E2E_DIR/program.log")" = 1 ] && [[ $said == "orvanthelix: "*'WAYLAND_DISPLAY "orv"'* ]] ||
    e2e_fail "not one line naming WAYLAND_DISPLAY on stderr: $said"
  e2e_pass "no seat: status 1 and one line: $said"
  exit 0
fi

case $case in
  escape)
    run 1 --debug
    if [ "$mode" = xwayland ]; then
      DISPLAY=$XWAYLAND xprop -id "$WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN ||
        e2e_fail "not full screen: $(DISPLAY=$XWAYLAND xprop -id "$WINDOW" _NET_WM_STATE)"
      eval "$(DISPLAY=$XWAYLAND xdotool getwindowgeometry --shell "$WINDOW")"
      [ "${WIDTH}x${HEIGHT}+${X}+${Y}" = 1280x720+0+0 ] || e2e_fail "the window is ${WIDTH}x${HEIGHT}+${X}+${Y}"
    else
      grep -q 'xdg_toplevel@[0-9]*\.set_fullscreen' "$WESTON_LOG" || e2e_fail "full screen was not asked for"
    fi
    grep -Eq 'zwp_pointer_constraints_v1@[0-9]+\.(lock|confine)_pointer' "$WESTON_LOG" ||
      e2e_fail "the mouse is not captured"
    asked=$EPOCHREALTIME
    if [ "$mode" = xwayland ]; then
      DISPLAY=$XWAYLAND e2e_hold "$WINDOW" Escape 2 "$PROGRAM"
    else
      e2e_hold "$WINDOW" Escape 2 "$PROGRAM"
    fi
    e2e_wait_end "$PROGRAM" 2 "$asked"
    e2e_expect_orderly_end 0
    ;;
  ended | killed)
    signal=TERM runs=10
    [ "$case" = killed ] && signal=KILL runs=3
    for i in $(seq "$runs"); do
      run "$i"
      asked=$EPOCHREALTIME
      kill -"$signal" "$WESTON"
      e2e_wait_end "$PROGRAM" 2 "$asked"
      e2e_expect_orderly_end 1
      grep -q '^orvanthelix: the display ".*" went away' "$E2E_DIR/program-$i.log" ||
        e2e_fail "said: $(cat "$E2E_DIR/program-$i.log")"
      e2e_wait_end "$WESTON" 10
    done
    ;;
  *) e2e_fail "unknown case: $case" ;;
esac
e2e_pass "$mode, $case: the level showed full screen; the run ended the orderly way"
