#!/usr/bin/env bash
# The ways a run ends before the film, with the built program under the test display:
#   a start-up that fails (an archive that is no zip): non-zero, the reason logged, no folder left;
#   "Quit" in the dialog, and the dialog closed (SIGTERM, which SDL turns into the same quit event
#   as the window's close): exit 0, no data folder made.
# Usage: run_exits.sh <voltaresca>
set -uo pipefail
source "$(dirname "$0")/e2e_common.sh" "$1"
echo "not a zip archive" >"$work/bin/demodat"
cd "$work"

dialog_of_new_run() {  # starts the program in the "free" word; waits up to 30 s for its dialog
  TMPDIR="$work/tmp" "$work/bin/voltaresca" free 2>"$work/err.log" &
  pid=$!
  for _ in $(seq 300); do
    dialog="$(xdotool search --pid "$pid" --name '^Voltaresca$' 2>/dev/null | head -n1)"
    [ -n "$dialog" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "the setup dialog did not appear"
}
wait_for_end() {  # waits up to 30 s for the run to end; its exit status goes to $status
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the run did not end"
  wait "$pid"; status=$?
  pid=""
}
nothing_left() {  # of the program's own (the sound system may leave its folder)
  ls "$work/tmp" | grep -q '^voltaresca-' && fail "$1 left its data folder behind"
  return 0
}

dialog_of_new_run
xdotool key --window "$dialog" space
wait_for_end
[ "$status" -ne 0 ] || fail "a start-up that failed exited 0"
grep -q "didn't load" "$work/err.log" || fail "no reason for the failed start-up"
nothing_left "a failed start-up"
echo "a failed start-up: status $status"

dialog_of_new_run
xdotool mousemove --window "$dialog" 352 180 click 1  # the "Quit" button
wait_for_end
[ "$status" -eq 0 ] || fail "\"Quit\" exited with $status"
nothing_left "\"Quit\""
echo "Quit: status 0"

dialog_of_new_run
kill -TERM "$pid"
wait_for_end
[ "$status" -eq 0 ] || fail "closing the dialog exited with $status"
nothing_left "closing the dialog"
echo "run exits: passed"
