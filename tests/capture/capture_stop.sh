#!/usr/bin/env bash
# SIGTERM in the middle of a capture: the pictures written so far are whole, the private folder
# is gone and the exit status is non-zero. Usage: capture_stop.sh <voltaresca-capture> <scene writer>
set -uo pipefail
capture="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/err.log" >&2 2>/dev/null; exit 1; }
mkdir -p "$work/tmp"
"$2" "$work/scene.zip" late || fail "couldn't write the test scene"
TMPDIR="$work/tmp" "$capture" --archive "$work/scene.zip" --size 160x90 --fps 30 --to 600000 \
  --out "$work/out" 2>"$work/err.log" &
pid=$!
for _ in $(seq 300); do
  [ "$(ls "$work/out" 2>/dev/null | wc -l)" -ge 5 ] && break
  sleep 0.1
done
[ "$(ls "$work/out" 2>/dev/null | wc -l)" -ge 5 ] || fail "no pictures after 30 s"
kill -TERM "$pid"
wait "$pid"; status=$?
[ "$status" -ne 0 ] || fail "exit status 0 after SIGTERM"
[ -z "$(ls -A "$work/tmp")" ] || fail "the private folder was left behind: $(ls "$work/tmp")"
grep -q "interrupted" "$work/err.log" || fail "no word of the interruption"
for picture in "$work"/out/*.png; do
  tail -c 12 "$picture" | grep -q IEND || fail "$(basename "$picture") is cut short"
done
echo "capture stop: passed ($(ls "$work/out" | wc -l) pictures, status $status)"
