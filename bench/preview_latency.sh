#!/usr/bin/env bash
# The preview player as a user meets it, on a private X server: Play pressed
# -> first picture in the panel, and Stop pressed -> no engine left, ten
# tries each, medians in milliseconds. The clicks come from xdotool, whose
# own start-up (tens of ms) is included; the first picture is taken from the
# engine's trace (ORVANTIC_ENGINE_TRACE), written as it is shown.
# Usage: bench/preview_latency.sh [build/bin]
set -uo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
source "$(dirname "$0")/../tests/e2e/x11_session.sh"
ffmpeg -nostdin -v error -y -f lavfi -i "color=c=red:s=640x480:r=25:d=30" -f lavfi -i "sine=d=30" \
  -c:v mpeg4 -q:v 3 -c:a aac "$work/red.mp4"
cp "$bin/orvantic" "$bin/orvantic-engine" "$work/"
# The engine notes each picture it shows; its first line is the first picture.
export QT_QPA_PLATFORM=xcb ORVANTIC_INSTANCE_NAME="orvantic-bench-$$" ORVANTIC_ENGINE_TRACE="$work/trace.txt"
(cd "$work" && ./orvantic >/dev/null 2>&1) &
pids+=("$!")
main=$(wait_window '^Orvantic DVD Converter$') || fail "main window did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"
engines() { ls -l /proc/[0-9]*/exe 2>/dev/null | grep -c "$work/orvantic-engine$"; }
now() { date +%s%N; }
xdotool mousemove $((X + 57)) $((Y + 74)) click 1
sleep 1.5
xdotool type --delay 5 "$work/red.mp4"
xdotool key Return
sleep 2
xdotool mousemove $((X + 200)) $((Y + 140)) click 1
sleep 0.5
plays=() stops=()
for _ in $(seq 10); do
  rm -f "$work/trace.txt"
  t=$(now)
  xdotool mousemove $((X + 543)) $((Y + 205)) click 1
  until [ -s "$work/trace.txt" ]; do sleep 0.002; done
  plays+=($((($(now) - t) / 1000000)))
  sleep 1
  t=$(now)
  xdotool mousemove $((X + 578)) $((Y + 205)) click 1
  while [ "$(engines)" != 0 ]; do sleep 0.002; done
  stops+=($((($(now) - t) / 1000000)))
  sleep 0.5
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "Play -> first picture: median $(median "${plays[@]}") ms (${plays[*]})"
echo "Stop -> engine gone:   median $(median "${stops[@]}") ms (${stops[*]})"
