#!/usr/bin/env bash
# A whole run of the show (checked or sanitized build) under Xvfb, measured by
# measure/full_run.sh: it must end by itself with status 0, print nothing on stderr (no GL
# error, no sanitizer report) and leave no core. With SIGNAL and SECONDS, that signal is
# sent SECONDS after the end scene appears instead, and the same is asked of the way out.
# Args: GLIMWICK [SIGNAL SECONDS]. Output is kept in $GLIMWICK_RUN_DIR (default: ./full-run).
set -u
exe=$1 signal=${2:-} at=${3:-}
out=${GLIMWICK_RUN_DIR:-$PWD/full-run${signal:+-$signal}}
# The folder may come from the environment: it is cleared only when empty or left by an
# earlier run (which marks it), never when it may be anything else ($HOME, say).
marker=.glimwick-full-run
if [ -e "$out" ] && [ ! -f "$out/$marker" ] && [ -n "$(ls -A "$out" 2>&1)" ]; then
    echo "long_full_run: '$out' is not the folder of an earlier run: not cleared" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out" && touch "$out/$marker"
shots=(2 60 112)
if [ -n "$signal" ]; then
    # Waits for the end scene (dark red where the main part has black bars; the music can
    # run behind the wall clock on a busy machine), then sends the signal.
    . "$(dirname "$0")/../support/e2e_lib.sh"
    shots=(2)
    (
        red=""
        for _ in $(seq 1 600); do
            sleep 0.5
            [ -f "$out/pid" ] && show_window || continue
            timeout 10 import -window "$win" "$out/probe.png" 2>/dev/null || continue
            red=$(convert "$out/probe.png" -crop 1024x60+0+0 +repage \
                -format '%[fx:int(255*mean.r+0.5)]' info: 2>/dev/null)
            [ -n "$red" ] && [ "$red" -ge 20 ] && break
        done
        [ -n "$red" ] && [ "$red" -ge 20 ] || exit 0 # never seen: no signal
        sleep "$at"
        cp "$out/probe.png" "$out/end-scene.png" 2>/dev/null
        pid=$(cat "$out/pid")
        kill -0 "$pid" 2>/dev/null && kill -"$signal" "$pid" && touch "$out/signalled"
    ) &
    helper=$!
fi
bash "$(dirname "$0")/../../measure/full_run.sh" "$exe" "$out" "${shots[@]}"
# The run is over: its pid may be anyone's from now on.
[ -n "$signal" ] && kill "$helper" 2>/dev/null
summary=$(cat "$out/summary")
echo "$summary"
failures=0
case "$summary" in *status=0*) ;; *) echo "FAIL: status (see $out/stderr)"; failures=1 ;; esac
case "$summary" in *cores=0*) ;; *) echo "FAIL: core file in $out"; failures=1 ;; esac
# Without a window manager SDL remarks on X's input focus; that line is the X server's
# quirk, not a report of the show's.
grep -v 'XGetInputFocus returned the focused window of 1' "$out/stderr" >"$out/reports"
if [ -s "$out/reports" ]; then
    echo "FAIL: the run reported:"
    head -n 40 "$out/reports"
    failures=1
fi
if [ -n "$signal" ] && [ ! -f "$out/signalled" ]; then
    echo "FAIL: the end scene never showed, no signal sent"
    failures=1
fi
if [ -z "$signal" ]; then
    seconds=$(echo "$summary" | sed -E 's/.*seconds=([0-9]+).*/\1/')
    [ "$seconds" -ge 110 ] || { echo "FAIL: ended after $seconds s"; failures=1; }
fi
[ "$failures" -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$failures"
