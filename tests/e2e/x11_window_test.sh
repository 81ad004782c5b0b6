#!/usr/bin/env bash
# The real program on a real X server with a window manager: window size,
# the second-instance refusal, dragging by the title band, and the close
# question with Cancel and OK. Skips (77) when no X server can be started.
# Usage: x11_window_test.sh <orvantic> <orvantic-engine>
set -uo pipefail
program="$1"
engine="$2"
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v openbox >/dev/null ||
  { echo "SKIP: Xvfb, openbox or xdotool missing"; exit 77; }

source "$(dirname "$0")/x11_session.sh"

cp "$program" "$engine" "$work/"
# The settings' default output folder is in HOME: the work folder's, never the user's.
export HOME="$work"
export QT_QPA_PLATFORM=xcb ORVANTIC_INSTANCE_NAME="orvantic-x11-test-$$"

geometry() { xdotool getwindowgeometry --shell "$1"; }

(cd "$work" && ./orvantic >/dev/null 2>&1; echo $? >"$work/rc1") &
first=$!
pids+=("$first")
main=$(wait_window '^Orvantic DVD Converter$') || fail "main window did not appear"
eval "$(geometry "$main")"
[ "$WIDTH" = 720 ] && [ "$HEIGHT" = 540 ] || fail "main window is ${WIDTH}x${HEIGHT}"
x0=$X y0=$Y

# A second copy refuses to start and ends with status 0; the first goes on.
(cd "$work" && ./orvantic >/dev/null 2>&1; echo $? >"$work/rc2") &
pids+=("$!")
box=$(wait_window '^orvantic$') || fail "no Already running! box"
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 50); do [ -s "$work/rc2" ] && break; sleep 0.1; done
[ "$(cat "$work/rc2" 2>/dev/null)" = 0 ] || fail "second copy ended with '$(cat "$work/rc2" 2>/dev/null)'"
kill -0 "$first" 2>/dev/null || fail "the first copy ended"

# Dragging the title band moves the window.
xdotool mousemove $((x0 + 400)) $((y0 + 8)) mousedown 1
sleep 0.2
xdotool mousemove $((x0 + 460)) $((y0 + 48))
sleep 0.2
xdotool mousemove $((x0 + 500)) $((y0 + 68)) mouseup 1
sleep 0.5
eval "$(geometry "$main")"
[ "$X" != "$x0" ] || [ "$Y" != "$y0" ] || fail "title-band drag did not move the window"

# Close asks "Exit anyway?": Cancel keeps the window, OK ends the program.
xdotool windowactivate --sync "$main" key alt+F4
question=$(wait_window '^Video Batch Converter$') || fail "no close question"
xdotool windowactivate --sync "$question" key Escape
sleep 0.5
kill -0 "$first" 2>/dev/null || fail "Cancel ended the program"
xdotool windowactivate --sync "$main" key alt+F4
question=$(wait_window '^Video Batch Converter$') || fail "no close question the second time"
xdotool windowactivate --sync "$question" key Return
for _ in $(seq 50); do [ -s "$work/rc1" ] && break; sleep 0.1; done
[ "$(cat "$work/rc1" 2>/dev/null)" = 0 ] || fail "closing ended with '$(cat "$work/rc1" 2>/dev/null)'"

# A window killed during a run leaves no engine converting for nobody. HOME
# is the work folder, so the default output folder is in it.
engine_running() {
  for exe in /proc/[0-9]*/exe; do
    [ "$(readlink "$exe" 2>/dev/null)" = "$work/orvantic-engine" ] && return 0
  done
  return 1
}
# An engine converting (one with an output), not the film's identification,
# which may still run when Convert is first pressed on a loaded machine.
engine_converting() {
  local exe args
  for exe in /proc/[0-9]*/exe; do
    [ "$(readlink "$exe" 2>/dev/null)" = "$work/orvantic-engine" ] || continue
    # Read whole first: under pipefail, grep -q ending the pipe early fails it.
    args=$(tr '\0' '\n' <"${exe%/exe}/cmdline" 2>/dev/null)
    grep -qx -- '-o' <<<"$args" && return 0
  done
  return 1
}
# Five minutes of small pictures: quick to make, and ten seconds or more to
# convert, so the run is surely still going when the window is killed.
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=300 \
  -c:v mpeg4 "$work/long.avi" || fail "no test film"
(cd "$work" && HOME="$work" exec ./orvantic long.avi >/dev/null 2>&1) &
window=$!
pids+=("$window")
main=$(wait_window '^Orvantic DVD Converter$') || fail "main window did not appear for the run"
sleep 1  # the film is identified and listed
eval "$(geometry "$main")"
# On a loaded machine the reading may not be over yet: Convert is refused
# with a message then, so press again (Return closes the message).
for _ in 1 2 3 4 5; do
  xdotool mousemove $((X + 250)) $((Y + 70)) click 1
  [ -n "${ORV_TEST_TRACE:-}" ] && echo "pressed Convert" >&2
  for _ in $(seq 50); do engine_converting && break; sleep 0.1; done
  engine_converting && break
  xdotool key Return
  sleep 1
done
engine_converting || fail "Convert started no engine"
kill -9 "$window"
sleep 2
engine_running && fail "an engine outlived the killed window"
ls -a "$work/Videos" 2>/dev/null | grep -q '\.part-' && fail "a temporary output was left"
echo "PASS"
