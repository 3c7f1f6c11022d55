# Sourced by the end-to-end scripts: a work folder removed at exit (with the run in $pid
# killed), fail() with the program's log, the tools the scripts need, and the program copied
# to $work/bin/voltaresca, with $work/tmp as its temporary folder. $1 is the built program.
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; echo "--- program log:" >&2; cat "$work/err.log" >&2 2>/dev/null; exit 1; }

command -v xdotool >/dev/null || fail "xdotool is missing (scripts/setup installs it)"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run under xvfb-run"
mkdir -p "$work/bin" "$work/tmp"
cp "$1" "$work/bin/voltaresca"
