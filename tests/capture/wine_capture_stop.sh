#!/usr/bin/env bash
# Ctrl+C in the middle of the Windows capture under Wine (SIGINT, which Wine hands to the
# program as the console's Ctrl+C): the pictures written so far are whole, the private folder in
# Wine's temporary folder is gone and the exit status is non-zero.
# Usage: wine_capture_stop.sh <wine-run> <voltaresca-capture.exe> <demodat>
set -uo pipefail
wine="$1"
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/err.log" >&2 2>/dev/null; exit 1; }
temp="$("$wine" cmd /c 'echo %TEMP%' | tr -d '\r')"
temp="$("$wine" winepath -u "$temp" | tr -d '\r')"
ours() { ls "$temp" | grep '^voltaresca-capture-' | sort; }
before="$(ours)"
"$wine" "$2" --archive "$3" --size 160x90 --fps 30 --to 600000 --out "$work/out" 2>"$work/err.log" &
pid=$!
for _ in $(seq 600); do
  [ "$(ls "$work/out" 2>/dev/null | wc -l)" -ge 5 ] && break
  sleep 0.1
done
[ "$(ls "$work/out" 2>/dev/null | wc -l)" -ge 5 ] || fail "no pictures after 60 s"
kill -INT "$pid"
wait "$pid"; status=$?
pid=""
[ "$status" -ne 0 ] || fail "exit status 0 after Ctrl+C"
[ "$(ours)" = "$before" ] || fail "the private folder was left behind: $(comm -13 <(echo "$before") <(ours))"
grep -q "interrupted" "$work/err.log" || fail "no word of the interruption"
for picture in "$work"/out/*.png; do
  tail -c 12 "$picture" | grep -q IEND || fail "$(basename "$picture") is cut short"
done
echo "capture stop under Wine: passed ($(ls "$work/out" | wc -l) pictures, status $status)"
