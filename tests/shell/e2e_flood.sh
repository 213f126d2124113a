#!/usr/bin/env bash
# Input floods under Xvfb: thousands of mouse motions over the window, then Escape or a
# window manager's close request, must end the show at once (one event is taken per frame,
# so anything the show does not act on must never queue). Args: GLIMWICK WMCLOSE TESTDATA
set -u
exe=$(readlink -f "$1") wmclose=$(readlink -f "$2") testdata=$(readlink -f "$3")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
err="$work/err"
trap 'kill_children; rm -rf "$work"' EXIT

"$testdata" "$work/show" 30 || { echo "cannot write test data"; exit 1; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# One xdotool run moving the pointer back and forth over the window $motions times; XTest
# input is queued by the server in order, so all of it is ahead of what comes next.
flood() {
    local moves=() i
    [ "$motions" -gt 0 ] || return 0
    for ((i = 0; i < motions; i++)); do
        moves+=(mousemove --window "$win" $((100 + i % 2 * 400 + i % 7)) $((100 + i % 300)))
    done
    xdotool "${moves[@]}"
}

# flood_then MOTIONS LABEL COMMAND: floods the running show with MOTIONS pointer motions, runs
# COMMAND, and sets $elapsed to the milliseconds until the show was gone (status 0 wanted).
flood_then() {
    motions=$1 label=$2
    shift 2
    (exec "$exe" >"$work/out" 2>"$err") &
    pid=$!
    answer_question Escape || return
    wait_for 20 show_window || { fail "$label: no window"; return; }
    sleep 1 # the first frames are presented
    flood
    local t0
    t0=$(now_ms)
    "$@"
    while ! exited && [ $(($(now_ms) - t0)) -lt 10000 ]; do sleep 0.01; done
    elapsed=$(($(now_ms) - t0))
    ends_with 1 0
}

# ends_at_once LABEL COMMAND: the same request after no motion and after a flood. Within half a
# second, or on a machine too busy for that, within twice the time it took without a flood
# plus half a second (a queued flood takes ten seconds and more).
ends_at_once() {
    flood_then 0 "$1" "$2"
    local quiet=$elapsed
    flood_then 2000 "$1" "$2"
    local limit=$((quiet * 2 + 500))
    [ "$elapsed" -le "$limit" ] &&
        pass "$1 after 2000 motions: ended in $elapsed ms ($quiet ms without them)" ||
        fail "$1 after 2000 motions: ended after $elapsed ms (limit $limit, $quiet ms without)"
}

press_escape() { xdotool key --window "$win" Escape; }
close_window() { "$wmclose" "$win"; }

cd "$work/show" || exit 1
ends_at_once "Escape" press_escape
ends_at_once "window manager close" close_window

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
