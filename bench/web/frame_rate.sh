#!/usr/bin/env bash
# The film's frame rate in the browser against the desktop program, both on a software
# rasteriser (Chromium's SwiftShader, Mesa's llvmpipe), over the film's first SECONDS at 1280x720:
#   bench/web/frame_rate.sh [SECONDS]      (from a tree where scripts/build-web has run)
# Both figures come from the same run; report their ratio.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-30}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The desktop program full screen on a 1280x720 virtual screen (the dialog preselects the
# screen's mode; Space starts), ended with Escape; it logs its frames and seconds.
desktop() {
  TMPDIR="$work" "$root/build/voltaresca" 2>"$work/desktop.log" &
  local pid=$! id=""
  for _ in $(seq 100); do id="$(xdotool search --name '^Voltaresca$' 2>/dev/null | head -n1)"; [ -n "$id" ] && break; sleep 0.1; done
  sleep 0.3
  xdotool key --window "$id" space
  for _ in $(seq 600); do grep -q 'Voltaresca: playing' "$work/desktop.log" && break; sleep 0.1; done
  sleep "$seconds"
  xdotool key Escape
  wait "$pid"
  grep -o 'stopped after.*' "$work/desktop.log"
}
echo "desktop (llvmpipe):   $(LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s '-screen 0 1280x720x24' bash -c "$(declare -f desktop); root='$root' work='$work' seconds='$seconds' desktop")"

/usr/bin/python3 - "$root" "$seconds" <<'PY'
import sys, time
sys.path.insert(0, sys.argv[1] + "/tests/web")
import browser_test as bt
server, browser = bt.Server(sys.argv[1] + "/dist/web"), bt.chromium()
try:
    browser.get(server.url + "index.html?start")
    attribute = lambda name: browser.find_element(bt.By.ID, "canvas").get_attribute("data-" + name)
    bt.wait_for("the film", lambda: attribute("frames"), 300)
    read = lambda: browser.execute_script("return [Number(document.getElementById('canvas').getAttribute('data-frames')), performance.now()]")
    f0, t0 = read()
    time.sleep(float(sys.argv[2]))
    f1, t1 = read()
    print("browser (SwiftShader): %d frames in %.1f s (%.1f frames per second)" % (f1 - f0, (t1 - t0) / 1000, 1000 * (f1 - f0) / (t1 - t0)))
finally:
    browser.quit()
    server.close()
PY
