#!/usr/bin/env python3
"""Play mode figures: time to the first picture, A/V offset of every picture
against the audio clock over a 30 s clip whose picture flashes white on each
beep, and CPU use for a 640x480 25 fps source. Runs its own Xvfb and makes
the parent window through Xlib, as the GUI's video panel would be.

Usage: bench/play_sync.py ENGINE [--seconds N]
"""
import argparse
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time


def start_xvfb():
    for n in range(180, 230):
        if os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return proc, f":{n}"
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        proc.kill()
    sys.exit("cannot start Xvfb")


def make_window(display_name, width, height):
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong,
                                        ctypes.c_ulong]
    x11.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    display = x11.XOpenDisplay(display_name.encode())
    window = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display), 0, 0, width, height, 0, 0,
                                     0x000102)
    x11.XMapWindow(display, window)
    x11.XSync(display, 0)
    return x11, display, window


def play(engine, source, window, folder, trace, env):
    cmd = [engine, source, "-framedrop", "-slave", "-wid", str(window), "-colorkey", "0x000102",
           "-keepaspect", "-priority", "abovenormal", "-ao", "dsound", "-vo", "directx",
           "-currentfolder", folder + "/"]
    start = time.monotonic()
    child = subprocess.Popen(cmd, env=dict(env, ORVANTIC_ENGINE_TRACE=trace), stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    return wall, usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("engine")
    parser.add_argument("--seconds", type=int, default=30)
    a = parser.parse_args()
    work = tempfile.mkdtemp()
    src = os.path.join(work, "flash.mp4")
    # A beep and a white picture at each whole second, black and silence between.
    s = a.seconds
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y",
                    "-f", "lavfi", "-i", f"color=c=black:s=640x480:r=25:d={s},"
                    "drawbox=w=iw:h=ih:c=white:t=fill:enable='lt(mod(t\\,1)\\,0.08)'",
                    "-f", "lavfi", "-i", f"aevalsrc='if(lt(mod(t\\,1)\\,0.08)\\,0.5*sin(2*PI*1000*t)\\,0)':s=44100:d={s}",
                    "-c:v", "mpeg4", "-q:v", "3", "-c:a", "aac", src], check=True)
    xvfb, display = start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=display)
        _, _, window = make_window(display, 640, 480)
        trace = os.path.join(work, "trace.txt")
        wall, cpu, code = play(a.engine, src, window, work, trace, env)
        shown, dropped, flashes, first = [], 0, [], None
        for line in open(trace):
            what, due, clock, ms = line.split()
            due, clock, ms = float(due), float(clock), float(ms)
            if what == "dropped":
                dropped += 1
                continue
            if first is None:
                first = ms
            if clock < 0:
                continue  # the first picture appears before the clock starts
            shown.append((clock - due) * 1000)
            if (due % 1.0) < 0.04:
                flashes.append((clock - due) * 1000)
        print(f"exit status {code}, {len(shown)} pictures shown, {dropped} dropped, wall {wall:.2f} s for {s} s")
        print(f"first picture after {first:.0f} ms")
        print(f"A/V offset of every picture: median {statistics.median(shown):+.1f} ms, "
              f"min {min(shown):+.1f}, max {max(shown):+.1f}")
        print(f"A/V offset at the {len(flashes)} flashes: median {statistics.median(flashes):+.1f} ms, "
              f"worst {max(flashes, key=abs):+.1f}")
        print(f"CPU {cpu:.2f} s over {wall:.2f} s: {100 * cpu / wall:.1f} % of one core")
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
