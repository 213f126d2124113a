#!/usr/bin/env bash
# The sound server going away mid-show (run under with_xvfb.sh and with_pulse.sh): the
# show goes on silent, its clock running, and when a server is back the music resumes
# there; the run still ends by itself at 120 s with status 0. Args: GLIMWICK WMCLOSE TESTDATA
set -u
testdata=$(readlink -f "$3")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
exe=$(readlink -f "$1")
err="$work/err"
second=""
trap 'kill_children; [ -n "$second" ] && kill "$second" 2>/dev/null; rm -rf "$work"' EXIT

"$testdata" "$work/show" 125 || { echo "cannot write test data"; exit 1; }

label="server lost at 10 s, back at 15 s"
(cd "$work/show" && exec "$exe" >"$work/out" 2>"$err") &
pid=$!
answer_question Escape || exit 1
wait_for 20 show_window || { fail "no window"; exit 1; }
started=$(date +%s)
wait_for 10 show_playing && pass "the music plays on the first server" || fail "no stream on the first server"
sleep $((10 - ($(date +%s) - started)))
kill "$GLIMWICK_PULSE_PID"
sleep 5
exited && fail "the show ended when the server went away ($(cat "$err"))"
glimwick_pulse_start && second=$server_pid || fail "the second server did not start"
wait_for 10 show_playing && pass "the music resumed on the new server" || fail "no stream on the new server"
ends_with 150 0
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
