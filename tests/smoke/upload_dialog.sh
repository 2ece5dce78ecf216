#!/usr/bin/env bash
# The real program on a virtual X server: Sensor > Load Calibration Data lists
# a served simulated sensor; a double click on its row uploads its data set,
# OK loads it, and the main window's caption names the sensor.
# Arguments: the program, the simulator tool, a file for the dialog's picture.
set -euo pipefail
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if [ -z "${OSTREL_SMOKE_DISPLAY:-}" ]; then
  exec env OSTREL_SMOKE_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$BASH" "$0" "$@"
fi
program=$1 sensorsim=$2 picture=$3

work=$(mktemp -d /tmp/ostrel-smoke-XXXXXX)
cleanup() {
  kill "${ostrel:-}" "${serve:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config HOME=$work
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$sensorsim" --store "$work/store" add 100001 --model TVX-18G --no-user-data >/dev/null
"$sensorsim" --store "$work/store" serve >/dev/null &
serve=$!

"$program" &
ostrel=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Ostrel$' | head -n 1)
sleep 1
xdotool windowfocus --sync "$main"
xdotool key --window "$main" alt+s l
dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^Upload Calibration Data$' | head -n 1)
sleep 1
mkdir -p "$(dirname "$picture")"
import -window "$dialog" "$picture"

# The first row of the list: below the group box's caption and the headings.
xdotool mousemove --window "$dialog" 120 52 click --repeat 2 --delay 80 1
# OK, enabled once the data set is in: a click before that does nothing, so
# it is clicked until the dialog has gone (a slow machine takes longer).
for _ in $(seq 1 100); do
  sleep 0.2
  caption=$(xdotool getwindowname "$main")
  [ "$caption" = "Upload from TVX-18G Ser.# 100001" ] && exit 0
  xdotool mousemove --window "$dialog" 320 270 click 1 2>/dev/null || true
done
echo "the main window's caption is \"$caption\"" >&2
exit 1
