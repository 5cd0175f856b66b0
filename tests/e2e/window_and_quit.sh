#!/usr/bin/env bash
# The program as a user starts it: a window titled "Orvanthelix 3D Engine"
# covering the screen appears, and the run ends with status 0 promptly on
# SIGTERM (QUIT=sigterm) or, after W has been held for a while, on Escape
# (QUIT=escape), and nothing it unpacked is left behind. Keys are sent to the window itself, so other programs on the
# display do not take them; a held key is sent again every 0.1 s, as a
# keyboard's auto-repeat does.
set -u
program=$1
orvtool=$2
quit=$3
run=$(mktemp -d)
pid=""
# Whatever ends the script ends the program too, before its files go.
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$run"' EXIT
cd "$run"

# A pack holding a one-floor level, so the start-up gets through to the main loop.
cat > level.txt <<'LEVEL'
NBSP 2 e2e 3
0 1 2  0 0 0  0 0 1  1 0 0
1 0 1  0  0 0 0 0 0  0 0 1 0 1  1 0 0 1 0  floorlight
1 1
LEVEL
"$orvtool" pack create Orvanthelix.zar LEVELTEST=level.txt || exit 1

# The run's private directory goes under our own directory, so it is checked
# below and never left in the machine's /tmp.
mkdir tmp
TMPDIR="$run/tmp" SDL_AUDIODRIVER=dummy "$program" &
pid=$!

window=""
for _ in $(seq 100); do
  window=$(xdotool search --all --pid "$pid" --name '^Orvanthelix 3D Engine$' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no window titled 'Orvanthelix 3D Engine' appeared"; exit 1
fi

read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ {split($2, s, "x"); print s[1], s[2]}')
eval "$(xdotool getwindowgeometry --shell "$window")"
if [ "$WIDTH" != "$screen_w" ] || [ "$HEIGHT" != "$screen_h" ] || [ "$X" != 0 ] || [ "$Y" != 0 ]; then
  echo "window is ${WIDTH}x${HEIGHT}+${X}+${Y}, screen is ${screen_w}x${screen_h}"; exit 1
fi

hold() {  # KEY SECONDS
  for _ in $(seq "$(( $2 * 10 ))"); do
    kill -0 "$pid" 2>/dev/null || return
    xdotool keydown --window "$window" "$1" 2>/dev/null
    sleep 0.1
  done
}
if [ "$quit" = escape ]; then
  hold w 1
  xdotool keyup --window "$window" w 2>/dev/null
  hold Escape 2
else
  kill -TERM "$pid"
  for _ in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
fi
if kill -0 "$pid" 2>/dev/null; then
  echo "still running 2 s after $quit"; exit 1
fi
wait "$pid"
status=$?
pid=""
[ "$status" = 0 ] || { echo "exit status $status after $quit"; exit 1; }
[ -z "$(ls -A tmp)" ] || { echo "left behind: $(ls -AR tmp)"; exit 1; }
echo "window ${WIDTH}x${HEIGHT} covered the screen; $quit ended the run with status 0"
