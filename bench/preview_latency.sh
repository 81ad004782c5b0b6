#!/usr/bin/env bash
# The preview player as a user meets it, in a private X11 session and in a
# private Wayland session (tests/e2e/session.sh): Play -> first picture
# painted in the panel, and Stop -> no engine left, ten tries each, medians
# in milliseconds. The commands are the window's own (no input tool's
# start-up is included).
# Usage: bench/preview_latency.sh [build]
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -y -f lavfi -i "color=c=red:s=640x480:r=25:d=30" -f lavfi -i "sine=d=30" \
  -c:v mpeg4 -q:v 3 -c:a aac "$work/red.mp4" || exit 1
cp "$build/bin/orvantic-engine" "$work/"
for session in x11 wayland; do
  ORVANTIC_INSTANCE_NAME="orvantic-bench-$$" \
    "$here/../tests/e2e/session.sh" "$session" "$build/bin/preview_latency" "$work" "$work/red.mp4" 2>/dev/null |
    grep -- "->"
done
