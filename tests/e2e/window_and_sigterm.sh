#!/usr/bin/env bash
# The program as a user starts it: a window titled "Orvanthelix 3D Engine"
# covering the screen appears, SIGTERM ends the run with status 0 promptly, and
# nothing it unpacked is left behind.
set -u
program=$1
orvtool=$2
run=$(mktemp -d)
pid=""
# Whatever happens, no program is left running and no files are left behind.
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
  # Other tests may show windows of the same title on this display: take ours.
  window=$(xdotool search --all --pid "$pid" --name '^Orvanthelix 3D Engine$' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no window titled 'Orvanthelix 3D Engine' appeared"; exit 1
fi

read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ {split($2, s, "x"); print s[1], s[2]}')
eval "$(xdotool getwindowgeometry --shell "$window")" || { echo "window $window went away"; exit 1; }
if [ "$WIDTH" != "$screen_w" ] || [ "$HEIGHT" != "$screen_h" ] || [ "$X" != 0 ] || [ "$Y" != 0 ]; then
  echo "window is ${WIDTH}x${HEIGHT}+${X}+${Y}, screen is ${screen_w}x${screen_h}"; exit 1
fi

kill -TERM "$pid"
for _ in $(seq 20); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "still running 2 s after SIGTERM"; exit 1
fi
wait "$pid"
status=$?
pid=""
[ "$status" = 0 ] || { echo "exit status $status after SIGTERM"; exit 1; }
[ -z "$(ls -A tmp)" ] || { echo "left behind: $(ls -AR tmp)"; exit 1; }
echo "window ${WIDTH}x${HEIGHT} covered the screen; SIGTERM ended the run with status 0"
