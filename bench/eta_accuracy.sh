#!/usr/bin/env bash
# How right the time-left estimate is on a mixed list: one long film and five
# short ones, converted by the console mode with the real engine. Every
# progress line is stamped with the time it appeared; once the run is over
# the true time left at each line is known. Prints the worst error after the
# first 10 % of the run, relative to the true time left (while at least 5 s
# are left) and relative to the whole run.
# Usage: bench/eta_accuracy.sh <orvantic> [long seconds] [short seconds] [profile]
set -euo pipefail
program="$(realpath "${1:?usage: eta_accuracy.sh <orvantic> [long] [short] [profile]}")"
long="${2:-300}"
short="${3:-20}"
profile="${4:-1}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
mkdir -p "$work/media" "$work/out" "$work/prog"
ff -f lavfi -i "testsrc2=s=640x480:r=25:d=$long" -f lavfi -i "sine=f=440:d=$long" \
  -c:v mpeg4 -q:v 3 -c:a aac "$work/media/long.avi"
for i in 1 2 3 4 5; do
  ff -f lavfi -i "testsrc2=s=640x480:r=25:d=$short" -f lavfi -i "sine=f=440:d=$short" \
    -c:v mpeg4 -q:v 3 -c:a aac "$work/media/short$i.avi"
done
cp "$program" "$(dirname "$program")/orvantic-engine" "$work/prog/"
order=("$work/media/long.avi" "$work/media/short"{1..5}.avi)
[ "${ORDER:-long-first}" = long-last ] && order=("$work/media/short"{1..5}.avi "$work/media/long.avi")
start=$(date +%s.%N)
ORVANTIC_INSTANCE_NAME="orvantic-eta-$$" "$work/prog/orvantic" --convert --profile "$profile" \
  --output "$work/out" --overwrite 1 "${order[@]}" 2>/dev/null |
  while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >"$work/lines"
end=$(date +%s.%N)
[ -n "${ETA_LINES:-}" ] && cp "$work/lines" "$ETA_LINES"
python3 - "$work/lines" "$start" "$end" <<'PY'
import re, sys
lines, start, end = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
total = end - start
worst_left = worst_total = 0.0
seen = 0
for row in open(lines):
    stamp, text = row.split(" ", 1)
    m = re.search(r"about (?:(\d+):)?(?:(\d+):)?(\d+)( s)? left", text)
    t = float(stamp) - start
    if not m or t < 0.1 * total:
        continue
    parts = [int(p) for p in m.groups()[:3] if p is not None]
    est = 0
    for p in parts:
        est = est * 60 + p
    true_left = total - t
    seen += 1
    worst_total = max(worst_total, abs(est - true_left) / total)
    if true_left >= 5:
        worst_left = max(worst_left, abs(est - true_left) / true_left)
print(f"run {total:.1f} s, {seen} estimates after the first 10 %")
print(f"worst error vs the true time left (while >= 5 s left): {100 * worst_left:.1f} %")
print(f"worst error vs the whole run: {100 * worst_total:.1f} %")
PY
