#!/usr/bin/env bash
# Runs a command on a private Xvfb display (free number picked by the server itself),
# then stops the server. Usage: with_xvfb.sh COMMAND [ARGS...]
set -u
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
done
display=$(tr -d '[:space:]' <"$fdfile")
rm -f "$fdfile"
if [ -z "$display" ]; then
    echo "with_xvfb: Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    exit 1
fi
export DISPLAY=":$display"
"$@"
rc=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $rc
