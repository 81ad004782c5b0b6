#!/usr/bin/env python3
"""Engine against the ffmpeg tool on the same jobs: every profile's command
line on three sources, A B A B in pairs, median wall-time ratio engine/ffmpeg,
the engine's peak memory, the output's video bitrate against its target, and
identification against ffprobe.

With HandBrakeCLI installed (Debian's handbrake-cli), the video jobs are also
timed against it (engine/HandBrake, pairs as above).

Usage: bench/engine_speed.py ENGINE [--seconds N] [--pairs N] [--media DIR] [--no-handbrake]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

M4 = ("-oac lavc -ovc lavc -lavcopts acodec=aac:abitrate=128:vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:"
      "subcmp=2:trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1 -ffourcc mp4v -of lavf -lavfopts "
      "format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames")
H4 = ("-oac lavc -ovc lavc -lavcopts keyint=500:level=13:vqmin=1:vqmax=31:vrc_maxrate=1200:vratetol=10:"
      "bit_exact:coder=0:aglobal=1:vglobal=1:vcodec=h264:acodec=aac:vbitrate=1200:abitrate=128:v4mv:qpel:"
      "trell=lambda:mbd=1:vme=1 -of lavf -lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames")
MP3 = "-ovc frameno -oac mp3lame -lameopts cbr:br=128:mode=0 -of rawaudio"


def box(w, h):
    return f"-vf scale={w}:-2,harddup,expand={w}:{h}:-1:-1:1"


def fit(w, h):
    return f"-vf scale={w}:{h}:force_original_aspect_ratio=decrease:force_divisible_by=2,pad={w}:{h}:-1:-1"


FF_M4 = "-c:v mpeg4 -b:v 1200k -mbd 2 -cmp 2 -subcmp 2 -trellis 1 -flags +mv4+aic -tag:v mp4v -c:a aac -b:a 128k -ar 44100"
FF_H4 = ("-c:v libx264 -profile:v baseline -coder 0 -bf 0 -g 500 -b:v 1200k -maxrate 1200k -bufsize 2000k "
         "-qmin 1 -qmax 31 -c:a aac -b:a 128k -ar 44100")
HB_M4 = "mbd=2:cmp=2:subcmp=2:trellis=1:flags=+mv4+aic"
HB_AUDIO = "-E av_aac -B 128 -R 44.1 --previews 1:0 --crop 0:0:0:0"
# (name, engine middle, ffmpeg arguments, extension, target kbit/s, HandBrakeCLI arguments or None)
PROFILES = [
    ("0 MPEG-4 320x240", f"-srate 44100 {box(320, 240)} {M4}", f"{fit(320, 240)} {FF_M4}", "mp4", 1200,
     f"-f av_mp4 -e mpeg4 -b 1200 -x {HB_M4} -w 320 -l 240 {HB_AUDIO}"),
    ("1 MPEG-4 640x480", f"-srate 44100 {box(640, 480)} {M4}", f"{fit(640, 480)} {FF_M4}", "mp4", 1200,
     f"-f av_mp4 -e mpeg4 -b 1200 -x {HB_M4} -w 640 -l 480 {HB_AUDIO}"),
    ("2 H.264 320x240", f"-srate 44100 {box(320, 240)} {H4}", f"{fit(320, 240)} {FF_H4}", "mp4", 1200,
     f"-f av_mp4 -e x264 -b 1200 --encoder-profile baseline -x bframes=0:cabac=0:keyint=500 -w 320 -l 240 "
     f"{HB_AUDIO}"),
    ("3 MP3", f"-srate 44100 {MP3}", "-vn -c:a libmp3lame -b:a 128k -ar 44100", "mp3", 0, None),
]


def make_sources(folder, seconds):
    def ff(args, name):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y"] + args.split() + [path], check=True)
        return path
    return [
        ("640x480 AVI", ff(f"-f lavfi -i testsrc=s=640x480:r=25:d={seconds} -f lavfi -i sine=d={seconds} "
                           "-c:v mpeg4 -q:v 6 -c:a mp2 -b:a 64k", f"avi{seconds}.avi")),
        ("1280x720 H.264", ff(f"-f lavfi -i testsrc2=s=1280x720:r=30:d={seconds},noise=alls=12:allf=t "
                              f"-f lavfi -i sine=f=330:d={seconds} -c:v libx264 -preset veryfast -crf 20 "
                              "-c:a aac", f"hd{seconds}.mp4")),
        ("720x576 MPEG-2 PS", ff(f"-f lavfi -i testsrc2=s=720x576:r=25:d={seconds},noise=alls=8:allf=t "
                                 f"-f lavfi -i sine=f=550:sample_rate=48000:d={seconds} -c:v mpeg2video "
                                 "-b:v 5M -c:a mp2 -f vob", f"dvd{seconds}.vob")),
    ]


def timed(argv):
    """Wall seconds, peak resident MiB and CPU seconds of one run."""
    start = time.monotonic()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    wall = time.monotonic() - start
    if child.returncode != 0:
        print(f"  (exit {child.returncode}: {' '.join(argv[:3])} ...)", file=sys.stderr)
    return wall, usage.ru_maxrss / 1024.0, usage.ru_utime + usage.ru_stime


def probe(path, entries):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", entries,
                          "-of", "csv=p=0", path], capture_output=True, text=True).stdout.strip()
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("engine")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--media", default=os.path.join(tempfile.gettempdir(), "orvantic-bench-media"))
    parser.add_argument("--no-handbrake", action="store_true", help="time against ffmpeg only")
    a = parser.parse_args()
    os.makedirs(a.media, exist_ok=True)
    work = tempfile.mkdtemp()
    sources = make_sources(a.media, a.seconds)
    handbrake = None if a.no_handbrake else shutil.which("HandBrakeCLI")
    print(f"{'source':20} {'profile':18} {'engine s':>9} {'ffmpeg s':>9} {'ratio':>6} {'peak MiB':>9} {'kbit/s':>7}"
          + ("  HandBrake s  ratio" if handbrake else ""))
    for sname, src in sources:
        for pname, middle, ffargs, ext, target, hbargs in PROFILES:
            e_out = os.path.join(work, "e." + ext)
            f_out = os.path.join(work, "f." + ext)
            e_cmd = [a.engine, src] + middle.split() + ["-o", e_out, "-currentfolder", work + "/"]
            f_cmd = ["ffmpeg", "-nostdin", "-v", "quiet", "-y", "-i", src] + ffargs.split() + [f_out]
            timed(e_cmd)
            timed(f_cmd)  # warm-up pair
            ratios, e_times, f_times, peaks = [], [], [], []
            for _ in range(a.pairs):
                ew, peak, _ = timed(e_cmd)
                fw, _, _ = timed(f_cmd)
                ratios.append(ew / fw)
                e_times.append(ew)
                f_times.append(fw)
                peaks.append(peak)
            rate = ""
            if target:
                bits = probe(e_out, "stream=bit_rate")
                rate = str(int(int(bits) / 1000)) if bits.isdigit() else "?"
            hb = ""
            if handbrake and hbargs:
                h_cmd = [handbrake, "-i", src, "-o", os.path.join(work, "h.mp4")] + hbargs.split()
                timed(h_cmd)
                h_ratios, h_times = [], []
                for _ in range(a.pairs):
                    ew, _, _ = timed(e_cmd)
                    hw, _, _ = timed(h_cmd)
                    h_ratios.append(ew / hw)
                    h_times.append(hw)
                hb = f"  {statistics.median(h_times):11.2f}  {statistics.median(h_ratios):5.2f}"
            print(f"{sname:20} {pname:18} {statistics.median(e_times):9.2f} {statistics.median(f_times):9.2f} "
                  f"{statistics.median(ratios):6.2f} {max(peaks):9.1f} {rate:>7}{hb}")
            sys.stdout.flush()
    # Identification against ffprobe.
    for sname, src in sources:
        e_cmd = [a.engine, src, "-vo", "null", "-nosound", "-identify", "-currentfolder", work + "/"]
        p_cmd = ["ffprobe", "-v", "quiet", "-show_format", "-show_streams", src]
        ratios = []
        for _ in range(a.pairs):
            ew, _, _ = timed(e_cmd)
            pw, _, _ = timed(p_cmd)
            ratios.append(ew / pw)
        print(f"identify {sname:20} ratio engine/ffprobe {statistics.median(ratios):.2f}")


if __name__ == "__main__":
    main()
