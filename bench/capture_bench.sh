#!/usr/bin/env bash
# Capture and video throughput on the generated film, every figure against a baseline measured
# in the same run (the machine is shared and noisy):
#   bench/capture_bench.sh [build folder]      (under xvfb-run, or with SDL's off-screen driver)
# 1. Seeking: --at 200000 against --at 0, 640 x 360 (the frames before the picture are not drawn).
# 2. Video: 10 s of film at 1280 x 720 and 30 frames a second written as video, against drawing
#    the same 301 frames without writing them (--draw-every-frame --at 10000).
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
capture="$build/voltaresca-capture"
archive="$build/demodat"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seconds() {  # command... -> wall seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

early=$(seconds "$capture" --archive "$archive" --size 640x360 --at 0 --out "$work/a")
late=$(seconds "$capture" --archive "$archive" --size 640x360 --at 200000 --out "$work/b")
printf 'seek   --at 0: %.2f s   --at 200000: %.2f s   ratio %s (goal: at most 3)\n' "$early" "$late" "$(ratio "$late" "$early")"

drawn=$(seconds "$capture" --archive "$archive" --size 1280x720 --fps 30 --draw-every-frame --at 10000 --out "$work/c")
video=$(seconds "$capture" --archive "$archive" --size 1280x720 --fps 30 --from 0 --to 10000 --video "$work/film.mp4")
printf 'video  301 frames at 1280x720: drawn only %.1f s (%.1f fps), as video %.1f s (%.1f fps), ratio %s (goal: at least 0.8)\n' \
  "$drawn" "$(echo "301 / $drawn" | bc -l)" "$video" "$(echo "301 / $video" | bc -l)" "$(ratio "$drawn" "$video")"
