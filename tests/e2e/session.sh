#!/usr/bin/env bash
# Runs a command inside a private desktop session of one kind, as users have
# them, and ends everything it started:
#   x11              Xvfb with openbox, Qt on X11
#   x11-scaleF       the same with QT_SCALE_FACTOR=F (HiDPI: 2, 1.5, 1.25)
#   wayland          a headless weston, Qt on Wayland, no X server at all
#   wayland-scaleF   the same with QT_SCALE_FACTOR=F
#   xwayland         a headless weston with XWayland, Qt on X11 through it
# Skips (77) when the session cannot be started here.
# Usage: session.sh KIND COMMAND [ARG...]
set -uo pipefail
kind="$1"
shift

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
skip() {
  echo "SKIP: $*"
  exit 77
}

start_xvfb() {
  command -v Xvfb >/dev/null || skip "no Xvfb"
  exec 3>"$work/displayfd"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=("$!")
  for _ in $(seq 100); do [ -s "$work/displayfd" ] && break; sleep 0.05; done
  [ -s "$work/displayfd" ] || skip "Xvfb did not start"
  export DISPLAY=":$(head -1 "$work/displayfd")"
  if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    pids+=("$!")
    sleep 0.3
  fi
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}

# weston [--xwayland]: a headless compositor on a private socket.
start_weston() {
  command -v weston >/dev/null || skip "no weston"
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 0700 "$XDG_RUNTIME_DIR"
  local socket="wl-orvantic-$$"
  unset DISPLAY
  weston --backend=headless-backend.so --use-pixman --width=1280 --height=1024 \
    --socket="$socket" --idle-time=0 --log="$work/weston.log" "$@" >/dev/null 2>&1 &
  pids+=("$!")
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$socket" ] && break; sleep 0.05; done
  [ -S "$XDG_RUNTIME_DIR/$socket" ] || skip "weston did not start: $(tail -3 "$work/weston.log")"
  export WAYLAND_DISPLAY="$socket"
}

scale=""
if [[ "$kind" =~ ^(x11|wayland)-scale([0-9.]+)$ ]]; then
  kind="${BASH_REMATCH[1]}"
  scale="${BASH_REMATCH[2]}"
fi
case "$kind" in
  x11) start_xvfb ;;
  wayland) start_weston; export QT_QPA_PLATFORM=wayland ;;
  xwayland)
    command -v Xwayland >/dev/null || skip "no Xwayland"
    start_weston --xwayland
    # weston starts XWayland when the first X client connects; it names
    # the display in its log.
    for _ in $(seq 100); do grep -q "xserver listening on display" "$work/weston.log" && break; sleep 0.05; done
    display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -1)
    [ -n "$display" ] || skip "weston started no XWayland: $(tail -3 "$work/weston.log")"
    export DISPLAY="$display" QT_QPA_PLATFORM=xcb
    ;;
  *) echo "unknown session $kind"; exit 2 ;;
esac
[ -n "$scale" ] && export QT_SCALE_FACTOR="$scale"

"$@" &
pids+=("$!")
wait "$!"
