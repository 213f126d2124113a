#!/usr/bin/env bash
# A whole run of the show (checked or sanitized build) under Xvfb, measured by
# bench/full_run.sh: it must end by itself with status 0, print nothing on stderr (no GL
# error, no sanitizer report) and leave no core. With SIGNAL and SECONDS, that signal is
# sent at about SECONDS of the run instead, and the same is asked of the way out.
# Args: GLIMWICK [SIGNAL SECONDS]. Output is kept in $GLIMWICK_RUN_DIR (default: ./full-run).
set -u
exe=$1 signal=${2:-} at=${3:-}
out=${GLIMWICK_RUN_DIR:-$PWD/full-run${signal:+-$signal}}
rm -rf "$out"
shots=(2 60 112)
if [ -n "$signal" ]; then
    shots=("$at")
    # Sends the signal once the run has reached $at s (the shot at $at is taken first).
    (
        for _ in $(seq 1 600); do
            [ -f "$out/shot-${at}s.png" ] && break
            sleep 0.5
        done
        kill -"$signal" "$(cat "$out/pid")"
    ) &
fi
bash "$(dirname "$0")/../../bench/full_run.sh" "$exe" "$out" "${shots[@]}"
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
if [ -z "$signal" ]; then
    seconds=$(echo "$summary" | sed -E 's/.*seconds=([0-9]+).*/\1/')
    [ "$seconds" -ge 110 ] || { echo "FAIL: ended after $seconds s"; failures=1; }
fi
[ "$failures" -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$failures"
