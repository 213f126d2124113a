#!/usr/bin/env bash
# SDL's own path to a sound server (run under with_xvfb.sh and with_pulse.sh with
# GLIMWICK_SDL_PULSE=1, so SDL_AUDIODRIVER=pulseaudio): SDL plays the stream, not the
# show's own PulseAudio client; the server killed at 10 s and a new one started 3 s later:
# SDL's stream is on the new server within 3 s of it answering, and the show ends by
# itself at 120 s with status 0. Args: GLIMWICK WMCLOSE TESTDATA
set -u
testdata=$(readlink -f "$3")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
exe=$(readlink -f "$1")
err="$work/err"
second=""
trap 'kill_children; [ -n "$second" ] && kill "$second" 2>/dev/null; rm -rf "$work"' EXIT

[ "${SDL_AUDIODRIVER:-}" = pulseaudio ] || { echo "run with GLIMWICK_SDL_PULSE=1"; exit 1; }
"$testdata" "$work/show" 125 || { echo "cannot write test data"; exit 1; }

label="SDL's path, server lost at 10 s, back at 13 s"
(cd "$work/show" && exec "$exe" >"$work/out" 2>"$err") &
pid=$!
answer_question Escape || exit 1
wait_for 20 show_window || { fail "no window"; exit 1; }
started=$(date +%s)
if ! wait_for 10 show_playing; then
    fail "no stream on the first server"
elif stream_named Music; then
    fail "the show's own client plays, not SDL"
else
    pass "SDL's stream plays ($(pactl list sink-inputs | grep -c 'media.name = "Audio Stream"') of them)"
fi
sleep $((10 - ($(date +%s) - started)))
kill "$GLIMWICK_PULSE_PID"
sleep 3
exited && fail "the show ended when the server went away ($(cat "$err"))"
grep -q 'glimwick: sound lost (.*); going on silent' "$err" &&
    pass "the loss said: $(grep -m1 'sound lost' "$err")" || fail "the loss not said"
glimwick_pulse_start && second=$server_pid || fail "the second server did not start"
back=$(date +%s%N)
if wait_for 3 show_playing; then
    pass "SDL's stream on the new server after $((($(date +%s%N) - back) / 1000000)) ms"
    stream_named Music && fail "the show's own client plays on the new server, not SDL"
else
    fail "no stream on the new server within 3 s"
fi
ends_with 150 0
[ "$(grep -c 'sound lost' "$err")" = 1 ] && pass "said once" ||
    fail "said $(grep -c 'sound lost' "$err") times: $(cat "$err")"
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
