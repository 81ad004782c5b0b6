#!/usr/bin/env bash
# Batch throughput: a list of 12 sources (20 s each: SD AVI, 720p H.264 and
# DVD-style MPEG-2, mixed) converted by the console with 1, 2 and 3 items at
# once and the automatic choice, to profiles 0 and 2, in one run; beside it
# the same list through HandBrakeCLI one file after another (its queue) and
# the ffmpeg tool one file after another, with like settings. Per row: wall
# time, CPU time over wall time (cores kept busy), the ratio to N = 1, and
# the peak memory of the whole run (every process of it together).
# The runs are made in rounds, every run once per round in turn, and each
# figure is the median over the rounds: this machine's speed drifts.
# Usage: bench/batch_throughput.sh [build folder] [seconds per source] [rounds]
set -uo pipefail
build=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
secs="${2:-20}"
rounds="${3:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/orvantic" "$build/bin/orvantic-engine" "$work/"
mkdir -p "$work/media"
for i in $(seq 1 4); do
  ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=640x480:rate=25:duration=$secs" \
    -f lavfi -i "sine=frequency=$((300 + i * 40)):duration=$secs" -c:v mpeg4 -q:v 4 -c:a mp3 \
    "$work/media/sd$i.avi"
  ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$secs" \
    -f lavfi -i "sine=frequency=$((500 + i * 40)):duration=$secs" -c:v libx264 -preset veryfast \
    -c:a aac "$work/media/hd$i.mp4"
  ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=720x576:rate=25:duration=$secs" \
    -f lavfi -i "sine=frequency=$((700 + i * 40)):duration=$secs" -c:v mpeg2video -b:v 5000k \
    -c:a ac3 -f vob "$work/media/dvd$i.vob"
done
files=("$work"/media/*)
export ORVANTIC_INSTANCE_NAME="orvantic-bench-$$"

# measure LABEL COMMAND...: wall seconds, CPU seconds, peak memory (MiB) of
# everything whose command line names the work folder.
measure() {
  local label="$1"
  shift
  local peak=0 start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    local rss
    rss=$(ps -eo rss=,args= | awk -v w="$work" 'index($0, w) && !/awk/ {s += $1} END {print s + 0}')
    [ "$rss" -gt "$peak" ] && peak=$rss
    sleep 0.2
  done
  wait "$pid"
  end=$(date +%s.%N)
  read -r user sys <"$work/time"
  echo "$label $(echo "$end - $start" | bc) $(echo "$user + $sys" | bc) $((peak / 1024))"
}

results="$work/results"
for round in $(seq 1 "$rounds"); do
  for profile in 0 2; do
    for jobs in 1 2 3 auto; do
      rm -rf "$work/out"
      measure "profile$profile:N=$jobs" "$work/orvantic" --convert --profile "$profile" --jobs "$jobs" \
        --overwrite 1 --output "$work/out" "${files[@]}" >>"$results"
    done
    # The engine's own encoder settings of each profile.
    vcodec=$([ "$profile" = 0 ] && echo "mpeg4 -mbd 2 -cmp 2 -subcmp 2 -trellis 1 -flags +mv4+aic" ||
      echo "libx264 -profile:v baseline")
    rm -rf "$work/ff" && mkdir "$work/ff"
    measure "profile$profile:ffmpeg" bash -c "for f in ${files[*]}; do ffmpeg -nostdin -v error -y -i \"\$f\" \
      -vf scale=320:-2,pad=320:240:-1:-1 -c:v $vcodec -b:v 1200k -c:a aac -b:a 128k -ar 44100 \
      \"$work/ff/\$(basename \"\$f\").mp4\"; done" >>"$results"
    if command -v HandBrakeCLI >/dev/null; then
      hbcodec=$([ "$profile" = 0 ] && echo mpeg4 || echo x264)
      rm -rf "$work/hb" && mkdir "$work/hb"
      measure "profile$profile:HandBrakeCLI" bash -c "for f in ${files[*]}; do HandBrakeCLI -i \"\$f\" \
        -o \"$work/hb/\$(basename \"\$f\").mp4\" -e $hbcodec -b 1200 -w 320 -l 240 -E av_aac -B 128 \
        -R 44.1 >/dev/null 2>&1; done" >>"$results"
    fi
  done
done

echo "cores: $(nproc), rounds: $rounds (medians)"
printf '%-26s %8s %8s %6s %10s\n' run wall_s cpu/wall ratio peak_MiB
# Per run: the median wall time, CPU time and peak over the rounds.
awk '
  function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) {t = a[j]; a[j] = a[j - 1]; a[j - 1] = t}
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  {if (!($1 in wall)) order[++count] = $1; wall[$1] = wall[$1] " " $2; cpu[$1] = cpu[$1] " " $3; peak[$1] = peak[$1] " " $4}
  END {
    for (i = 1; i <= count; i++) {k = order[i]; split(k, p, ":"); w[k] = median(wall[k]); if (p[2] == "N=1") base[p[1]] = w[k]}
    for (i = 1; i <= count; i++) {k = order[i]; split(k, p, ":")
      printf "%-26s %8.1f %8.2f %6.2f %10d\n", k, w[k], median(cpu[k]) / w[k], w[k] / base[p[1]], median(peak[k])}
  }' "$results"
