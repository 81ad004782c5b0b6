#!/usr/bin/env python3
"""Where a run leaves the processor idle: runs the command, samples the whole
machine's busy share every 100 ms (/proc/stat) with the engines alive at that
moment, and prints the idle core-seconds and every sample below 85 % busy.

Usage: bench/idle_cores.py COMMAND [ARG ...]
e.g.   bench/idle_cores.py build/bin/orvantic --convert --jobs 2 --output /tmp/out media/*
"""
import os
import subprocess
import sys
import time

PERIOD = 0.1


def machine_times():
    fields = list(map(int, open('/proc/stat').readline().split()[1:]))
    return fields[3] + fields[4], sum(fields)  # idle and iowait, all


def engines():
    alive = []
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            if not os.readlink(f'/proc/{pid}/exe').endswith('orvantic-engine'):
                continue
            args = open(f'/proc/{pid}/cmdline').read().split('\0')
        except OSError:
            continue
        kind = 'identify' if '-identify' in args else 'run'
        alive.append(f'{kind}:{os.path.basename(args[1]) if len(args) > 1 else "?"}')
    return sorted(alive)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cores = os.cpu_count() or 1
    start = time.time()
    child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    idle0, all0 = machine_times()
    samples = []
    while child.poll() is None:
        time.sleep(PERIOD)
        idle1, all1 = machine_times()
        busy = 1 - (idle1 - idle0) / max(1, all1 - all0)
        idle0, all0 = idle1, all1
        samples.append((time.time() - start, busy, engines()))
    wall = time.time() - start
    idle = sum((1 - busy) * PERIOD * cores for _, busy, _ in samples)
    print(f'wall {wall:.1f} s, {cores} cores, idle {idle:.1f} of {wall * cores:.1f} core-seconds')
    for at, busy, alive in samples:
        if busy < 0.85:
            print(f'{at:6.1f} s  busy {busy:4.2f}  {" ".join(alive)}')


if __name__ == '__main__':
    main()
