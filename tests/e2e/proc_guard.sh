# Sourced first by every script test that starts programs: whatever the test
# starts is ended when it exits, pass or fail, and the exit fails when
# something it started is still running after that.
#
# The script runs as the leader of a session of its own (it starts itself
# again under setsid when it is not). Everything it starts stays in that
# session, also an engine in a process group of its own, also a child whose
# parent has ended, so the session names exactly the processes that are ours.
# Besides, the tests record the pids they start with guard_track; each is
# ended with the processes below it.
#
# After sourcing: guard_track PID..., guard_end (ends everything; the EXIT
# trap calls it, a test's own trap should too), guard_check (fails when
# something of ours still runs).

if [ "$(ps -o sid= -p $$ | tr -d ' ')" != "$$" ] && [ -z "${ORV_GUARD_RESTARTED:-}" ]; then
  ORV_GUARD_RESTARTED=1 exec setsid -w "$BASH" "$0" "$@"
fi

guard_pids=()
guard_track() { guard_pids+=("$@"); }

# "pid ppid sid stat" of every process.
guard_table() { ps -e -o pid=,ppid=,sid=,stat=; }

# The recorded pids, everything below them, and every other process of this
# session (this shell and the commands reading the table left out).
guard_ours() {
  local table
  table=$(guard_table)
  awk -v me="$$" -v reader="$BASHPID" -v roots="${guard_pids[*]}" '
    { pid[NR] = $1; ppid[NR] = $2; sid[NR] = $3 }
    END {
      n = split(roots, r, " ")
      for (i = 1; i <= n; i++) mine[r[i]] = 1
      for (changed = 1; changed;) {
        changed = 0
        for (i = 1; i <= NR; i++)
          if (!(pid[i] in mine) && (ppid[i] in mine)) { mine[pid[i]] = 1; changed = 1 }
      }
      for (i = 1; i <= NR; i++)
        if (sid[i] == me) mine[pid[i]] = 1
      delete mine[me]
      delete mine[reader]
      for (p in mine) print p
    }' <<<"$table"
}

# Those of the pids that still run (zombies have ended).
guard_alive() {
  local pid state
  for pid in "$@"; do
    state=$(ps -o stat= -p "$pid" 2>/dev/null | tr -d ' ')
    [ -n "$state" ] && [ "${state:0:1}" != Z ] && echo "$pid"
  done
}

guard_end() {
  local victims left
  victims=$(guard_ours)
  [ -z "$victims" ] && return 0
  # Asked first, then ended by force; no wait without end.
  kill -TERM $victims 2>/dev/null
  for _ in $(seq 30); do
    left=$(guard_alive $victims)
    [ -z "$left" ] && break
    sleep 0.1
  done
  left=$(guard_alive $victims)
  [ -n "$left" ] && kill -KILL $left 2>/dev/null
  for _ in $(seq 30); do
    [ -z "$(guard_alive $victims)" ] && break
    sleep 0.1
  done
  # Our own children are reaped; the others are their parents' or init's.
  wait 2>/dev/null
  return 0
}

guard_check() {
  local ours left
  ours=$(guard_ours)
  left=$(guard_alive $ours)
  [ -z "$left" ] && return 0
  echo "FAIL: processes this test started are still running: $left"
  ps -o pid=,args= -p "$(echo $left | tr ' ' ,)" 2>/dev/null
  return 1
}
