#!/usr/bin/env bash
# Batch overhead per item: the console batch run (identification, launch,
# status-file traffic, progress polling) against the bare engine runs of the
# same command lines, and both against the ffmpeg tool doing the same job.
# Usage: bench/batch_overhead.sh [build folder] [items] [seconds per item]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
items="${2:-8}"
secs="${3:-4}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/orvantic" "$build/bin/orvantic-engine" "$work/"
mkdir "$work/media" "$work/out" "$work/bare" "$work/ff"
for i in $(seq 1 "$items"); do
  ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc=size=640x480:rate=25:duration=$secs" \
    -f lavfi -i "sine=frequency=$((200 + i * 50)):duration=$secs" -shortest \
    -c:v mpeg4 -c:a mp3 "$work/media/item$i.avi"
done
now() { date +%s.%N; }

t0=$(now)
(cd "$work" && ./orvantic --convert --verbose --overwrite 1 --output "$work/out" media/*.avi \
  >/dev/null 2>"$work/batch.log")
t1=$(now)

# The same encode command lines, started one after another with nothing else.
grep '^+ ' "$work/batch.log" | sed 's/^+ //' | sed "s#\"$work/out/#\"$work/bare/#" > "$work/cmds"
t2=$(now)
while IFS= read -r line; do (cd "$work" && eval "$line" >/dev/null 2>&1); done < "$work/cmds"
t3=$(now)

# The ffmpeg tool: scale and pad to 320x240, MPEG-4 1200k + AAC 128k into MP4.
for f in "$work"/media/*.avi; do
  ffmpeg -nostdin -loglevel error -y -i "$f" \
    -vf "scale=320:-2,pad=320:240:-1:-1" -c:v mpeg4 -b:v 1200k -mbd 2 -trellis 1 -flags +mv4+aic \
    -c:a aac -b:a 128k -ar 44100 "$work/ff/$(basename "$f" .avi).mp4"
done
t4=$(now)

awk -v n="$items" -v b="$(echo "$t1 - $t0" | bc)" -v e="$(echo "$t3 - $t2" | bc)" \
    -v f="$(echo "$t4 - $t3" | bc)" 'BEGIN {
  printf "items: %d\n", n
  printf "batch run (orvantic --convert):  %.2f s  (%.3f s per item)\n", b, b / n
  printf "bare engine, same command lines: %.2f s  (%.3f s per item)\n", e, e / n
  printf "ffmpeg tool, same job:           %.2f s  (%.3f s per item)\n", f, f / n
  printf "batch overhead per item:         %.3f s\n", (b - e) / n
  printf "ratio batch / bare engine:       %.3f\n", b / e
  printf "ratio bare engine / ffmpeg tool: %.3f\n", e / f
}'
