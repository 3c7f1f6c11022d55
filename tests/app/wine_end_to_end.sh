#!/usr/bin/env bash
# The Windows program under Wine with the film's archive, in the "free" word and without a sound
# device (SDL_AUDIODRIVER=dummy): the dialog is started with Space, the demo window appears and
# makes its data folder in Wine's temporary folder, Escape ends the run with exit status 0 and
# the folder gone.
# Usage: wine_end_to_end.sh <wine-run> <voltaresca.exe> <demodat>
set -uo pipefail
wine="$1"
source "$(dirname "$0")/e2e_common.sh" ""

cp "$2" "$work/voltaresca.exe"
cp "$3" "$work/demodat"
[ -f "$(dirname "$3")/setup.png" ] && cp "$(dirname "$3")/setup.png" "$work/"
# Wine's temporary folder as a Linux path.
temp="$("$wine" cmd /c 'echo %TEMP%' | tr -d '\r')"
temp="$("$wine" winepath -u "$temp" | tr -d '\r')"
[ -d "$temp" ] || fail "Wine's temporary folder '$temp' is not there"
ours() { ls "$temp" | grep '^voltaresca-' | sort; }
before="$(ours)"

cd "$work"
SDL_AUDIODRIVER=dummy "$wine" "$work/voltaresca.exe" free 2>"$work/err.log" &
pid=$!
dialog="$(find_window '^Voltaresca$' 60)" || fail "the setup dialog did not appear"
sleep 0.5
xdotool key --window "$dialog" space
window="$(find_window '^Voltaresca :: by Quorvex$' 60)" || fail "the demo window did not appear after Space"
[ "$(ours)" != "$before" ] || fail "no data folder in Wine's temporary folder while the demo runs"
# Let the content load and the film play a moment: the run says "playing WxH" once it starts.
wait_for_playing || fail "the demo did not start playing within 60 s of Space"
sleep 2
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key --window "$window" Escape
for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Escape did not end the run"
wait "$pid"; status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after Escape"
[ "$(ours)" = "$before" ] || fail "a data folder was left in Wine's temporary folder: $(comm -13 <(echo "$before") <(ours))"
grep -qE '^\[[0-9]{2}:[0-9]{2}:[0-9]{2}\] Voltaresca: ' "$work/err.log" || fail "no time-stamped log lines on standard error"
echo "Wine end to end: passed"
