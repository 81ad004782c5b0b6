#!/bin/bash
# The device presets against the ffmpeg tool with the same encoder settings,
# on the same sources, in one run: wall time (engine / ffmpeg), file size,
# and PSNR and SSIM of each output against its source (the source scaled to
# the output's size, with ffmpeg's psnr and ssim filters, the same way for
# both). The engine lines are the ones the program writes for each preset.
#
# Sources (made once, kept in MEDIA_DIR): dvd.mpg, a DVD-like 720x576 4:3
# MPEG-2 program stream at 25 fps with MP2 sound; phone.mp4, a telephone's
# 1080x1920 portrait H.264 clip at 30 fps with AAC sound. Both moving and
# grainy, so the encoders have work to do.
#
# Usage: bench/presets_compare.sh ENGINE [SECONDS] [MEDIA_DIR]
#   ONLY=TEXT runs only the presets whose name contains TEXT.
set -u
engine=${1:?usage: presets_compare.sh ENGINE [SECONDS] [MEDIA_DIR]}
seconds=${2:-60}
media=${3:-$(mktemp -d)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

if [ ! -e "$media/dvd-$seconds.mpg" ]; then
  ff -f lavfi -i "testsrc2=s=720x576:r=25:d=$seconds,noise=alls=12:allf=t" \
     -f lavfi -i "sine=f=440:sample_rate=48000:d=$seconds" \
     -target pal-dvd -aspect 4:3 -b:v 6000k -c:a mp2 -b:a 192k -ac 2 "$media/dvd-$seconds.mpg"
  ff -f lavfi -i "testsrc2=s=1080x1920:r=30:d=$seconds,noise=alls=10:allf=t" \
     -f lavfi -i "sine=f=660:sample_rate=48000:d=$seconds" \
     -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -c:a aac -b:a 128k \
     "$media/phone-$seconds.mp4"
fi

now() { date +%s.%N; }
# Seconds of wall time a command takes; its output is thrown away.
timed() {
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }'
}

# PSNR (average dB) and SSIM (All) of OUTPUT against SOURCE scaled to its size.
quality() {  # output source
  local size w h psnr ssim
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$1")
  w=${size%,*}; h=${size#*,}
  psnr=$(ffmpeg -nostdin -i "$1" -i "$2" -lavfi \
    "[1:v]scale=$w:$h:flags=bicubic,setsar=1[r];[0:v]setsar=1[o];[o][r]psnr" -f null - 2>&1 |
    sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1)
  ssim=$(ffmpeg -nostdin -i "$1" -i "$2" -lavfi \
    "[1:v]scale=$w:$h:flags=bicubic,setsar=1[r];[0:v]setsar=1[o];[o][r]ssim" -f null - 2>&1 |
    sed -n 's/.*All:\([0-9.]*\).*/\1/p' | tail -1)
  echo "$psnr $ssim"
}

dvd="$media/dvd-$seconds.mpg"
phone="$media/phone-$seconds.mp4"
# The display-aspect scale the engine's -vf scale=-2:H and scale=-2:0 make.
dar() { echo "scale=w='max(2,2*trunc($1*dar/2+0.5))':h=$1,setsar=1"; }

# name | source | extension | engine options | ffmpeg options
presets=(
  "TV 1080p H.265|$phone|mp4|-srate 48000 -vf scale=-2:1080 -oac lavc -ovc lavc -lavcopts vcodec=hevc:crf=24:vpreset=fast:acodec=aac:abitrate=192 -ffourcc hvc1 -of lavf -lavfopts format=mp4:chapters|-vf $(dar 1080) -c:v libx265 -preset fast -crf 24 -g 300 -x265-params log-level=error -tag:v hvc1 -c:a aac -b:a 192k -ar 48000"
  "Phone 1080p H.264|$phone|mp4|-srate 48000 -vf scale=-2:1080 -oac lavc -ovc lavc -lavcopts vcodec=h264:crf=23:vpreset=medium:acodec=aac:abitrate=128 -of lavf -lavfopts format=mp4:chapters|-vf $(dar 1080) -c:v libx264 -preset medium -crf 23 -g 300 -c:a aac -b:a 128k -ar 48000"
  "Web 720p VP9 WebM|$dvd|webm|-srate 48000 -vf scale=-2:720 -oac lavc -ovc lavc -lavcopts vcodec=vp9:crf=33:vpreset=4:acodec=opus:abitrate=96 -of lavf -lavfopts format=webm:chapters|-vf $(dar 720) -c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -crf 33 -b:v 0 -g 250 -c:a libopus -b:a 96k -ar 48000"
  "Archive AV1 MKV (CRF)|$dvd|mkv|-srate 48000 -vf scale=-2:0 -oac lavc -ovc lavc -lavcopts vcodec=av1:crf=30:vpreset=8:acodec=opus:abitrate=160 -of lavf -lavfopts format=matroska:chapters|-vf $(dar ih) -c:v libsvtav1 -preset 8 -crf 30 -g 250 -c:a libopus -b:a 160k -ar 48000"
  "Small 480p H.264|$dvd|mp4|-srate 44100 -vf scale=-2:480 -oac lavc -ovc lavc -lavcopts vcodec=h264:crf=26:vpreset=medium:acodec=aac:abitrate=96 -of lavf -lavfopts format=mp4:chapters|-vf $(dar 480) -c:v libx264 -preset medium -crf 26 -g 250 -c:a aac -b:a 96k -ar 44100"
)

echo "| preset | source | engine s | ffmpeg s | engine / ffmpeg | engine KiB | ffmpeg KiB | engine PSNR dB | ffmpeg PSNR dB | engine SSIM | ffmpeg SSIM |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for entry in "${presets[@]}"; do
  IFS='|' read -r name src ext eopts fopts <<< "$entry"
  case "$name" in *"${ONLY:-}"*) ;; *) continue ;; esac
  e="$work/e.$ext"; f="$work/f.$ext"; rm -f "$e" "$f"
  # shellcheck disable=SC2086
  te=$(timed "$engine" "$src" $eopts -o "$e" -currentfolder "$work/")
  # shellcheck disable=SC2086
  tf=$(timed ffmpeg -nostdin -v error -y -i "$src" $fopts "$f")
  read -r pe se <<< "$(quality "$e" "$src")"
  read -r pf sf <<< "$(quality "$f" "$src")"
  ratio=$(awk -v a="$te" -v b="$tf" 'BEGIN { printf "%.2f", a / b }')
  ke=$(( $(stat -c %s "$e" 2>/dev/null || echo 0) / 1024 ))
  kf=$(( $(stat -c %s "$f" 2>/dev/null || echo 0) / 1024 ))
  echo "| $name | $(basename "$src") | $te | $tf | $ratio | $ke | $kf | $pe | $pf | $se | $sf |"
done
