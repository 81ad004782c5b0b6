#!/bin/bash
# Converts the real-world test media with an engine and with the ffmpeg tool
# (same target: MPEG-4 320x240 + AAC in MP4, or MP3) and classifies each
# result: ok, failed, or wrong length (more than 0.1 s off the expected
# length, or audio and video more than 0.1 s apart).
# Usage: bench/realworld_compare.sh ENGINE [MEDIA_DIR]
set -u
engine=${1:?usage: realworld_compare.sh ENGINE [MEDIA_DIR]}
media=${2:-$(mktemp -d)}
here=$(cd "$(dirname "$0")" && pwd)
[ -e "$media/ntsc30.mp4" ] || sh "$here/../tests/fixtures/make_realworld_media.sh" "$media" || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

m4="-oac lavc -ovc lavc -lavcopts acodec=aac:abitrate=128:vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1 -ffourcc mp4v -of lavf -lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames"
mp3="-ovc frameno -oac mp3lame -lameopts cbr:br=128:mode=0 -of rawaudio"
vf="-vf scale=320:-2,harddup,expand=320:240:-1:-1:1"

# file profile expected-seconds
cases="ntsc30.mp4 0 4.004
ntsc24.avi 0 4.004
ntsc24.avi 3 4.0
js_32000.mp3 3 6.0
st_44100.mp3 0 6.0
mono_11025.mp3 0 6.0
js_48000.mp3 3 6.0
still.vob 0 7.0
editlist.mp4 0 4.7
cut30.mp4 0 -
cut60.mp4 0 -
cut90.mp4 0 -
noindex.avi 0 6.0
joined.ts 0 6.0
gap.ts 0 7.0
shortsound.asf 0 5.0
shortsound.rm 3 1.5
empty_audio.mp4 0 2.27
monostereo.mp3 0 -
monostereo.mp3 3 -
ac3switch.ts 0 -
sizechange.ts 0 -
chromachange.ts 0 -"

classify() {  # output expected
  local out=$1 expected=$2
  [ -s "$out" ] || { echo failed; return; }
  local v a
  v=$(ffprobe -v error -select_streams v -show_entries stream=duration -of csv=p=0 "$out" | head -1)
  a=$(ffprobe -v error -select_streams a -show_entries stream=duration -of csv=p=0 "$out" | head -1)
  [ -n "$a" ] || a=$v
  [ -n "$v" ] || v=$a
  if [ "$expected" != "-" ] && ! awk -v v="$v" -v a="$a" -v e="$expected" \
      'BEGIN { d = v - e; if (d < 0) d = -d; g = a - e; if (g < 0) g = -g; exit !(d <= 0.1 && g <= 0.1) }'; then
    echo "wrong length (video $v, audio $a)"; return
  fi
  if ! awk -v v="$v" -v a="$a" 'BEGIN { d = v - a; if (d < 0) d = -d; exit !(d <= 0.1) }'; then
    echo "A/V apart (video $v, audio $a)"; return
  fi
  echo "ok ($v s)"
}

printf '%-16s %-3s %-40s %s\n' file p engine "ffmpeg tool"
while read -r file profile expected; do
  src="$media/$file"
  if [ "$profile" = 3 ]; then ext=mp3; args="-srate 44100 $mp3"; ffargs="-vn -ar 44100 -c:a libmp3lame -b:a 128k"
  else ext=mp4; args="-srate 44100 $vf $m4"; ffargs="-vf scale=320:-2,pad=320:240:-1:-1 -c:v mpeg4 -b:v 1200k -c:a aac -b:a 128k -ar 44100"; fi
  e="$work/e.$ext"; f="$work/f.$ext"; rm -f "$e" "$f"
  # shellcheck disable=SC2086
  "$engine" "$src" $args -o "$e" -currentfolder "$work/" 2>/dev/null || rm -f "$e"
  # shellcheck disable=SC2086
  ffmpeg -nostdin -v quiet -y -i "$src" $ffargs "$f" || rm -f "$f"
  printf '%-16s %-3s %-40s %s\n' "$file" "$profile" "$(classify "$e" "$expected")" "$(classify "$f" "$expected")"
done <<< "$cases"
