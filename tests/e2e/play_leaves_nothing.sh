#!/usr/bin/env bash
# The engine in play mode started with no session bus (as from a bare X
# session or a service) leaves no process behind: SDL would otherwise
# autolaunch a bus (dbus-launch and dbus-daemon) that outlives it.
# Run inside tests/e2e/session.sh x11. Usage: play_leaves_nothing.sh <engine>
set -uo pipefail
engine="$1"
command -v xwininfo >/dev/null || { echo "SKIP: no xwininfo"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -y -f lavfi -i "color=c=red:s=160x120:r=25:d=1" -f lavfi -i "sine=d=1" \
  -c:v mpeg4 -c:a aac "$work/red.mp4" || { echo "FAIL: no test media"; exit 1; }
buses() { ps -eo pid=,args= | awk '$2 ~ /dbus-(launch|daemon)$/ || $2 ~ /\/dbus-(launch|daemon)$/ {print $1}' | sort; }
before=$(buses)
root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
env -u DBUS_SESSION_BUS_ADDRESS "$engine" "$work/red.mp4" -wid "$((root))" -currentfolder "$work/" \
  2>"$work/messages"
rc=$?
sleep 0.5
left=$(comm -13 <(echo "$before") <(buses))
if [ -n "$left" ]; then
  echo "FAIL: processes left after the engine: $(ps -o pid=,args= -p "$(echo $left | tr ' ' ,)")"
  for pid in $left; do kill "$pid" 2>/dev/null; done  # started by this test's engine
  exit 1
fi
[ "$rc" = 0 ] || { echo "FAIL: the engine ended with $rc: $(cat "$work/messages")"; exit 1; }
echo "ok: the engine played and left nothing"
