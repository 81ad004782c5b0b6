#!/usr/bin/env bash
# The preview player of the real program with the real engine on an X
# server: add a file through the dialog, select it, Play — the panel shows the
# source's picture (not the key colour); Pause and a press in the title band
# show the pause screen; Play resumes; Stop leaves no engine; the clip range
# set with the range slider is what Convert cuts. Skips (77) without Xvfb.
# Usage: x11_play_test.sh <orvantic> <orvantic-engine>
set -uo pipefail
program="$1"
engine="$2"
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v openbox >/dev/null &&
  command -v import >/dev/null || { echo "SKIP: Xvfb, openbox, xdotool or imagemagick missing"; exit 77; }

source "$(dirname "$0")/x11_session.sh"

# Red for 10 s, then blue for 10 s, with a tone.
ffmpeg -nostdin -v error -y -f lavfi -i "color=c=red:s=320x240:r=25:d=10" \
  -f lavfi -i "color=c=blue:s=320x240:r=25:d=10" -f lavfi -i "sine=d=20" \
  -filter_complex "[0:v][1:v]concat=n=2:v=1:a=0[v]" -map "[v]" -map 2:a \
  -c:v libx264 -preset ultrafast -g 25 -c:a aac "$work/red.mp4" || fail "no test media"
cp "$program" "$engine" "$work/"
mkdir -p "$work/out"
printf '[GENERAL]\nOverWriteType=1\nOutputPath=%s/out\n' "$work" >"$work/orvantic.ini"
export QT_QPA_PLATFORM=xcb ORVANTIC_INSTANCE_NAME="orvantic-x11-play-$$"

engines() { ls -l /proc/[0-9]*/exe 2>/dev/null | grep -c "$work/orvantic-engine$"; }
# "R G B" of the screen pixel at x y.
pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'; }
is_red() { read -r r g b <<<"$(pixel "$1" "$2")"; [ "$r" -gt 200 ] && [ "$g" -lt 60 ] && [ "$b" -lt 60 ]; }
is_blue() { read -r r g b <<<"$(pixel "$1" "$2")"; [ "$b" -gt 200 ] && [ "$r" -lt 60 ] && [ "$g" -lt 60 ]; }
is_dark() { read -r r g b <<<"$(pixel "$1" "$2")"; [ "$r" -lt 30 ] && [ "$g" -lt 30 ] && [ "$b" -lt 30 ]; }
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }

(cd "$work" && ./orvantic >/dev/null 2>&1) &
pids+=("$!")
main=$(wait_window '^Orvantic DVD Converter$') || fail "main window did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"

click 57 74  # Add
dialog=$(wait_window '^Open') || fail "no open dialog"
sleep 0.5
xdotool type --delay 5 "$work/red.mp4"
xdotool key Return
for _ in $(seq 50); do [ "$(engines)" = 0 ] && sleep 0.3 && break; sleep 0.1; done
click 200 140  # the first row
sleep 0.3

panel_x=$((X + 613)) panel_y=$((Y + 117))
click 543 205  # Play
ok=0
for _ in $(seq 40); do is_red $panel_x $panel_y && { ok=1; break; }; sleep 0.1; done
[ $ok = 1 ] || fail "the panel shows $(pixel $panel_x $panel_y), not the picture"

click 543 205  # Pause
sleep 0.3
xdotool mousemove $((X + 300)) $((Y + 8)) mousedown 1
sleep 0.1
xdotool mouseup 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"  # a press in the band may start a move
panel_x=$((X + 613)) panel_y=$((Y + 117))
is_dark $panel_x $((Y + 70)) || fail "no pause screen: $(pixel $panel_x $((Y + 70)))"

click 543 205  # resume
ok=0
for _ in $(seq 40); do is_red $panel_x $panel_y && { ok=1; break; }; sleep 0.1; done
[ $ok = 1 ] || fail "resume did not bring the picture back"

click 654 228  # the position slider at three quarters: 15 s, in the blue half
ok=0
for _ in $(seq 40); do is_blue $panel_x $panel_y && { ok=1; break; }; sleep 0.1; done
[ $ok = 1 ] || fail "after the seek the panel shows $(pixel $panel_x $panel_y)"

start=$(date +%s%N)
click 578 205  # Stop
for _ in $(seq 100); do [ "$(engines)" = 0 ] && break; sleep 0.01; done
took=$((($(date +%s%N) - start) / 1000000))
[ "$(engines)" = 0 ] || fail "an engine is left after Stop"
echo "stop: engine gone ${took} ms after the click (xdotool included)"

# Trim with the range slider: left thumb to about a quarter, right to about a half.
xdotool mousemove $((X + 524)) $((Y + 243)) mousedown 1 mousemove $((X + 566)) $((Y + 243)) mouseup 1
sleep 0.2
xdotool mousemove $((X + 700)) $((Y + 243)) mousedown 1 mousemove $((X + 612)) $((Y + 243)) mouseup 1
sleep 0.2
click 251 74  # Convert
done_box=$(wait_window '^orvantic$') || fail "no end message"
xdotool windowactivate --sync "$done_box" key Return
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out/red.mp4")
awk -v l="$length" 'BEGIN { exit !(l > 2 && l < 15) }' || fail "converted length $length is not the clip"
echo "PASS (clip converted to $length s)"
