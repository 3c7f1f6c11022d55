#!/usr/bin/env bash
# The built program in the "free" word under the test display: the dialog is started with Space,
# the window appears, Space pauses, Right jumps, F5 reloads, Escape ends the run. Exit 0, no data folder left, time-stamped log lines.
# Then the "edit" word: exit 0 at once, nothing created; and a dialog that cannot open: non-zero.
# Usage: end_to_end.sh <voltaresca> <archive writer: it takes the path to write>
set -uo pipefail
make_archive="$2"
source "$(dirname "$0")/e2e_common.sh" "$1"
"$make_archive" "$work/bin/demodat" || fail "couldn't write the test archive"

cd "$work"
TMPDIR="$work/tmp" "$work/bin/voltaresca" free 2>"$work/err.log" &
pid=$!
dialog="$(find_window '^Voltaresca$')" || fail "the setup dialog did not appear"
sleep 0.3
xdotool key --window "$dialog" space
window="$(find_window '^Voltaresca :: by Quorvex$')" || fail "the demo window did not appear after Space"
ls "$work/tmp" | grep -q '^voltaresca-' || fail "no data folder while the demo runs"
# The player drops keys pressed while the content loads: the keys go once the film plays.
wait_for_playing || fail "the film did not start playing within 60 s of Space"
sleep 0.5
xdotool windowfocus --sync "$window" 2>/dev/null
# The player's keys: pause, a jump (the film replays to it), a reload of the unchanged archive.
xdotool key space; sleep 0.3; xdotool key Right; sleep 0.3; xdotool key F5; sleep 0.5
# A short tap: the program must see it even when a frame takes longer than the tap.
xdotool keydown Escape; sleep 0.05; xdotool keyup Escape
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Escape did not end the run"
wait "$pid"; status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after Escape"
ls "$work/tmp" | grep -q '^voltaresca-' && fail "the data folder was left behind"
grep -qE '^\[[0-9]{2}:[0-9]{2}:[0-9]{2}\] Voltaresca: ' "$work/err.log" || fail "no time-stamped log lines on standard error"
grep -q 'jumped to' "$work/err.log" || fail "Right did not jump"
grep -q 'reload: nothing changed' "$work/err.log" || fail "F5 did not reload"

rm -rf "$work/tmp"/*
TMPDIR="$work/tmp" timeout 10 "$work/bin/voltaresca" edit 2>"$work/edit.log"; status=$?
[ "$status" -eq 0 ] || fail "\"edit\" exited with $status"
[ -z "$(ls -A "$work/tmp")" ] || fail "\"edit\" created files"
grep -q usage "$work/edit.log" || fail "\"edit\" printed no usage line"

# Without a window system that can show the dialog, start-up fails: a non-zero exit, nothing left.
TMPDIR="$work/tmp" SDL_VIDEODRIVER=dummy timeout 20 "$work/bin/voltaresca" free 2>"$work/nodialog.log"; status=$?
[ "$status" -ne 0 ] || fail "a run whose dialog could not open exited 0"
[ -z "$(ls -A "$work/tmp")" ] || fail "a run whose dialog could not open left files behind"
echo "end to end: passed"
