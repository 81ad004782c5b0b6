# Sourced by the X11 tests and benchmarks: a work folder, a private Xvfb with
# openbox, every started process ended on exit, and window helpers.
# After sourcing: $work, $DISPLAY, pids+=(...) for more processes to end,
# fail, wait_window. Returns 77 (skip) when no X server can be started.
work=$(mktemp -d)
pids=()
x11_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap x11_cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

exec 3>"$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=("$!")
for _ in $(seq 100); do [ -s "$work/displayfd" ] && break; sleep 0.05; done
[ -s "$work/displayfd" ] || { echo "SKIP: Xvfb did not start"; exit 77; }
export DISPLAY=":$(head -1 "$work/displayfd")"
openbox >/dev/null 2>&1 &
pids+=("$!")
sleep 0.5

wait_window() {  # name pattern -> id of its visible window
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do echo "$w"; return 0; done
    sleep 0.1
  done
  return 1
}
