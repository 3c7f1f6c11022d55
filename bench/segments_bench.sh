#!/usr/bin/env bash
# Rendering in segments on the generated film, every figure against a baseline of the same run
# (the machine is shared and noisy):
#   bench/segments_bench.sh [build folder] [from ms] [to ms]     (SDL's off-screen driver)
# 1. The stretch (default 100 s to 110 s) at 1280 x 720 as one video capture, against the same
#    stretch in two segments made at once, each with one llvmpipe thread (LP_NUM_THREADS=1);
#    efficiency: the one-piece time over the segmented time.
# 2. Seeking: --at of each segment's start against --at 0 (the frames before a segment are played
#    without drawing).
# 3. The join of the two segments (the pictures copied, the music encoded once).
# For the join of a whole film, make its segments at a small size:
#   scripts/render-farm --out DIR --size 160x90 --to 220000 --segments 2 --local 2
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
from="${2:-100000}" to="${3:-110000}"
capture="$build/voltaresca-capture"
archive="$build/demodat"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
since() { printf '%.1f' "$(echo "$(now) - $1" | bc -l)"; }
common=(--archive "$archive" --size 1280x720 --fps 30 --from "$from" --to "$to")
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

start=$(now)
"$capture" "${common[@]}" --video "$work/one.mp4" >/dev/null 2>&1
one=$(since "$start")
start=$(now)
for k in 1 2; do
  LP_NUM_THREADS=1 "$capture" "${common[@]}" --segment "$k/2" --no-sound --video "$work/seg$k.mp4" >/dev/null 2>&1 &
done
wait
two=$(since "$start")
printf 'one piece %s s, two segments at once %s s, efficiency %.2f (goal: at least 0.9)\n' "$one" "$two" \
  "$(echo "$one / $two" | bc -l)"

second=$(awk -v a="$from" -v b="$to" 'BEGIN { step = 1000 / 30; first = int(a / step + 0.999999);
  count = int(b / step + 1e-6) - first + 1; printf "%.9g", (first + int(count / 2)) * step }')
at() {  # ms -> wall seconds of one picture at that moment
  local start
  start=$(now)
  "$capture" --archive "$archive" --size 1280x720 --at "$1" --out "$work/at$1" >/dev/null 2>&1
  since "$start"
}
zero=$(at 0) early=$(at "$from") late=$(at "$second")
printf 'seek: --at 0 %s s; the first segment (--at %s) %s s, the second (--at %s) %s s: seeking costs %.1f and %.1f s\n' \
  "$zero" "$from" "$early" "$second" "$late" "$(echo "$early - $zero" | bc -l)" "$(echo "$late - $zero" | bc -l)"

start=$(now)
"$capture" --archive "$archive" --join "$work/film.mp4" "$work/seg1.mp4" "$work/seg2.mp4" >/dev/null 2>&1
printf 'join of the two segments: %s s\n' "$(since "$start")"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
