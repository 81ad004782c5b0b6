#!/bin/sh
# DVD input against a file: identification of a title against ffprobe on the
# title's first VOB file, and encoding a title (profile 0, MPEG-4/AAC
# 320x240) against encoding that VOB file with the same command line, as
# seconds of work per second of video. Medians of RUNS runs, A B A B.
#
# Usage: bench/dvd_speed.sh ENGINE [SECONDS] [RUNS]
set -eu
engine=$(realpath "${1:?usage: dvd_speed.sh ENGINE [SECONDS] [RUNS]}")
seconds=${2:-60}
runs=${3:-5}
work=$(mktemp -d /tmp/orv-dvd-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

ffmpeg -nostdin -v error -f lavfi -i "testsrc2=s=720x576:r=25:d=$seconds" \
  -f lavfi -i "sine=f=440:sample_rate=48000:d=$seconds" \
  -target pal-dvd -aspect 16:9 -c:a ac3 -b:a 192k title.mpg
cat > dvd.xml <<EOF
<dvdauthor dest="disc"><vmgm/><titleset><titles>
  <video format="pal" aspect="16:9" widescreen="nopanscan"/>
  <pgc><vob file="title.mpg" chapters="0,00:00:20,00:00:40"/></pgc>
</titles></titleset></dvdauthor>
EOF
VIDEO_FORMAT=PAL dvdauthor -x dvd.xml > /dev/null 2>&1
vob=disc/VIDEO_TS/VTS_01_1.VOB

# Wall time and CPU time (user + system) of one run, "WALL CPU"; the CPU
# figure is the fair one on a machine that others use too.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
timed() { /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" > /dev/null 2>&1; awk '{ print $1, $2 + $3 }' "$work/t"; }

middle="-srate 44100 -vf scale=-2:240,harddup,expand=320:240:-1:-1:1 -oac lavc -ovc lavc \
-lavcopts acodec=aac:abitrate=128:vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1 \
-ffourcc mp4v -of lavf -lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames"

: > id_engine; : > id_probe; : > enc_dvd; : > enc_vob
i=0
while [ "$i" -lt "$runs" ]; do
  timed "$engine" dvd://1 -dvd-device disc -vo null -nosound -identify -currentfolder "$work/" >> id_engine
  timed ffprobe -v error -show_format -show_streams "$vob" >> id_probe
  # shellcheck disable=SC2086
  timed "$engine" dvd://1 -dvd-device disc -chapter 1-3 $middle -o "$work/dvd.mp4" -currentfolder "$work/" >> enc_dvd
  # shellcheck disable=SC2086
  timed "$engine" "$vob" $middle -o "$work/vob.mp4" -currentfolder "$work/" >> enc_vob
  i=$((i + 1))
done

wall() { cut -d' ' -f1 < "$1" | median; }
cpu() { cut -d' ' -f2 < "$1" | median; }
echo "title: ${seconds} s, 720x576 16:9, $(stat -c %s "$vob") bytes; medians of $runs runs (wall / CPU)"
for kind in wall cpu; do
  ie=$($kind id_engine); ip=$($kind id_probe); ed=$($kind enc_dvd); ev=$($kind enc_vob)
  printf '%-4s identify dvd://1 %.3f s, ffprobe on the VOB %.3f s: ratio %.2f\n' "$kind" "$ie" "$ip" \
    "$(echo "$ie / $ip" | bc -l)"
  printf '%-4s encode: title %.4f s, VOB file %.4f s per second of video: ratio %.2f\n' "$kind" \
    "$(echo "$ed / $seconds" | bc -l)" "$(echo "$ev / $seconds" | bc -l)" "$(echo "$ed / $ev" | bc -l)"
done
for f in dvd.mp4 vob.mp4; do
  printf '%s: %s s\n' "$f" "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f")"
done
