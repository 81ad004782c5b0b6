# Sourced by the X11 tests and benchmarks: a work folder, a private Xvfb with
# openbox, every started process ended on exit, and window helpers.
# After sourcing: $work, $DISPLAY, pids+=(...) for more processes to end,
# fail, wait_window. Returns 77 (skip) when no X server can be started.
# Whatever the script starts (also what is not in pids, such as an engine)
# is ended on exit, and a process left running after that fails the test
# (proc_guard.sh).
source "$(dirname "${BASH_SOURCE[0]}")/proc_guard.sh"
work=$(mktemp -d)
pids=()
x11_cleanup() {
  local status=$?
  guard_track "${pids[@]}"
  guard_end
  rm -rf "$work"
  guard_check || status=1
  exit $status
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
