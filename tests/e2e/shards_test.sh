#!/usr/bin/env bash
# A list run as four shards through GNU Parallel on this machine converts
# every item exactly once, to the same outputs as a one-machine run; a Slurm
# array task takes its share from the environment; two items at once
# (--jobs 2) with the real engine give playable outputs, also in two shards
# side by side.
# Usage: shards_test.sh <orvantic> <orvantic-engine>
set -uo pipefail
program="$1"
engine="$2"
command -v parallel >/dev/null || { echo "SKIP: GNU parallel missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

mkdir -p "$work/bin" "$work/a" "$work/b"
cp "$program" "$engine" "$work/bin/"
make() {  # name seconds colour
  ffmpeg -nostdin -v error -y -f lavfi -i "color=c=$3:s=160x120:r=25:d=$2" -f lavfi -i "sine=d=$2" \
    -c:v mpeg4 -c:a aac "$1" || fail "no test media"
}
make "$work/a/clip.avi" 1 red
make "$work/b/clip.avi" 1 blue  # the same name: clip_1.mp4
make "$work/a/two.mov" 2 green
make "$work/a/three.mp4" 1 white
make "$work/b/four.mkv" 1 yellow
make "$work/b/five.avi" 1 cyan
files=("$work/a/clip.avi" "$work/b/clip.avi" "$work/a/two.mov" "$work/a/three.mp4" "$work/b/four.mkv"
       "$work/b/five.avi")
export ORVANTIC_INSTANCE_NAME="orvantic-shards-$$"
run() { "$work/bin/orvantic" --convert --jobs 1 --overwrite 1 "$@"; }

run --output "$work/one" "${files[@]}" >/dev/null 2>&1 || fail "the one-machine run failed"
parallel -j4 "$work/bin/orvantic" --convert --jobs 1 --overwrite 1 --verbose --output "$work/four" \
  --shard {}/4 "${files[@]}" ">/dev/null" "2>$work/shard-{}.log" ::: 0 1 2 3 ||
  fail "a shard failed: $(cat "$work"/shard-*.log)"

expected="clip.mp4 clip_1.mp4 five.mp4 four.mp4 three.mp4 two.mp4"
[ "$(ls "$work/one" | sort | xargs)" = "$expected" ] || fail "one machine wrote $(ls "$work/one")"
[ "$(ls "$work/four" | sort | xargs)" = "$expected" ] || fail "the shards wrote $(ls "$work/four")"
for name in $expected; do
  starts=$(cat "$work"/shard-*.log | grep -c -- "-o \"$work/four/$name\"")
  [ "$starts" = 1 ] || fail "$name was converted $starts times"
  a=$(ffmpeg -nostdin -v error -i "$work/one/$name" -f framemd5 - | grep -v '^#')
  b=$(ffmpeg -nostdin -v error -i "$work/four/$name" -f framemd5 - | grep -v '^#')
  [ -n "$a" ] && [ "$a" = "$b" ] || fail "$name differs from the one-machine run's"
done

# A Slurm array task 2 of 1..4: the second share, items 2 and 6.
SLURM_ARRAY_TASK_ID=2 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_COUNT=4 \
  run --output "$work/slurm" "${files[@]}" >/dev/null 2>&1 || fail "the Slurm task failed"
[ "$(ls "$work/slurm" | sort | xargs)" = "clip_1.mp4 five.mp4" ] || fail "Slurm wrote $(ls "$work/slurm")"
SLURM_ARRAY_TASK_ID=9 SLURM_ARRAY_TASK_COUNT=4 run --output "$work/bad" "${files[@]}" >/dev/null 2>&1
[ $? = 2 ] || fail "a task outside the array was not refused"

# Two at once with the real engine, three files.
line=$("$work/bin/orvantic" --convert --jobs 2 --overwrite 1 --output "$work/two" \
  "$work/a/two.mov" "$work/a/three.mp4" "$work/b/four.mkv" 2>&1 </dev/null) || fail "--jobs 2: $line"
for name in two three four; do
  d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/two/$name.mp4")
  [ -n "$d" ] || fail "--jobs 2 wrote no playable $name.mp4"
done
ls "$work/bin" | grep -q '^job-' || fail "no working folders of their own for the two engines"

# Two shards side by side, each converting two at once: neither takes the
# other's engines for a reason to refuse its files.
parallel -j2 "$work/bin/orvantic" --convert --jobs 2 --overwrite 1 --verbose --output "$work/both" \
  --shard {}/2 "${files[@]}" ">/dev/null" "2>$work/both-{}.log" ::: 0 1 ||
  fail "a shard of two at once failed: $(cat "$work"/both-*.log)"
[ "$(ls "$work/both" | sort | xargs)" = "$expected" ] || fail "the two shards wrote $(ls "$work/both")"
for name in $expected; do
  starts=$(cat "$work"/both-*.log | grep -c -- "-o \"$work/both/$name\"")
  [ "$starts" = 1 ] || fail "$name was converted $starts times by the two shards"
done
echo "ok: shards and two at once"
