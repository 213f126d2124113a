#!/usr/bin/env bash
# Runs a command on a private Xvfb display (free number picked by the server itself),
# then stops the server, whichever way the wrapper ends: the command's end, a signal
# (ctest's time-out, Ctrl-C), or being killed outright (a watcher then stops the server).
# -noreset keeps the server up while one client after another connects and leaves.
# Usage: with_xvfb.sh COMMAND [ARGS...]
set -u
. "$(dirname "$0")/e2e_lib.sh"
new_work_dir scratch
fdfile=$scratch/display
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
xvfb_pid=$!
child=""
stop() {
    [ -n "$child" ] && kill "$child" 2>/dev/null
    kill "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap 'stop; exit 143' TERM
trap 'stop; exit 130' INT
trap 'stop; exit 129' HUP
# Outlives a SIGKILL of this script: polls it once a second, then stops the server.
wrapper=$$
(
    trap '' HUP INT TERM
    while kill -0 "$wrapper" 2>/dev/null && kill -0 "$xvfb_pid" 2>/dev/null; do sleep 1; done
    kill "$xvfb_pid" 2>/dev/null
) </dev/null >/dev/null 2>&1 &
# A busy machine can take a while to start the server: up to 60 s.
for _ in $(seq 1 600); do
    [ -s "$fdfile" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
display=$(tr -d '[:space:]' <"$fdfile")
rm -rf "$scratch"
if [ -z "$display" ]; then
    echo "with_xvfb: Xvfb did not start" >&2
    stop
    exit 1
fi
export DISPLAY=":$display"
"$@" &
child=$!
wait "$child"
rc=$?
child=""
stop
wait "$xvfb_pid" 2>/dev/null
exit $rc
