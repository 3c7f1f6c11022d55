# Sourced by the end-to-end scripts: a work folder removed at exit (with the run in $pid
# killed), fail() with the program's log, the tools the scripts need, find_window, and (when $1
# names the built Linux program) the program copied to $work/bin/voltaresca, with $work/tmp as
# its temporary folder.
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; echo "--- program log:" >&2; cat "$work/err.log" >&2 2>/dev/null; exit 1; }

command -v xdotool >/dev/null || fail "xdotool is missing (scripts/setup installs it)"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run under xvfb-run"
if [ -n "${1:-}" ]; then
  mkdir -p "$work/bin" "$work/tmp"
  cp "$1" "$work/bin/voltaresca"
fi

wait_for_playing() {  # [seconds, 60 unless given]: until the run logs "playing WxH" in $work/err.log
  for _ in $(seq $((${1:-60} * 10))); do
    grep -qE 'Voltaresca: playing [0-9]+x[0-9]+' "$work/err.log" && return 0
    sleep 0.1
  done
  return 1
}

find_window() {  # name pattern [seconds, 10 unless given] -> window id
  for _ in $(seq $((${2:-10} * 10))); do
    id="$(xdotool search --name "$1" 2>/dev/null | head -n1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
