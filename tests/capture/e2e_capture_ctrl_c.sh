#!/usr/bin/env bash
# Ctrl-C on a shell running captures in a loop ends the loop: the capture cleans up and then
# dies by SIGINT itself, so the shell (which got the SIGINT too) stops instead of taking the
# capture for one that handled it and starting the next. A stand-in `ffmpeg` sends SIGINT
# to the capture's process group, as a terminal does, once it has been started.
# Args: GLIMWICK_CAPTURE SOURCE_DIR
set -u
capture=$(readlink -f "$1")
cd "$2" || exit 1
. tests/support/e2e_lib.sh
new_work_dir work
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
mkdir "$work/out" "$work/bin"
cat >"$work/bin/ffmpeg" <<EOF
#!/usr/bin/env bash
echo started >>"$work/started"
kill -INT -- -\$(ps -o pgid= \$PPID | tr -d ' ') # the capture's group; the encoder has its own
exec cat >/dev/null
EOF
chmod +x "$work/bin/ffmpeg"

# A shell started in the background has SIGINT ignored, which its children would inherit:
# put back to the default, as in a terminal. setsid: a process group of its own to signal.
PATH="$work/bin:$PATH" env --default-signal=INT setsid bash -c '
    for name in a b c; do "$1" --to 1 --out "$2/$name.mkv" 2>>"$2/../err"; done
    echo "the loop went on" >>"$2/../err"' loop "$capture" "$work/out" &
pid=$!
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -KILL -- -"$pid"; echo "FAIL: the loop still runs after 30 s"; exit 1; }
wait "$pid"
rc=$?
started=$(wc -l <"$work/started")
failures=0
[ "$started" = 1 ] && echo "PASS: one capture started" ||
    { echo "FAIL: $started captures started ($(cat "$work/err"))"; failures=1; }
[ "$rc" = 130 ] && ! grep -q "went on" "$work/err" && echo "PASS: the loop ended by SIGINT" ||
    { echo "FAIL: the loop ended with status $rc ($(tail -n 1 "$work/err"))"; failures=1; }
[ -z "$(ls -A "$work/out")" ] && echo "PASS: nothing left" ||
    { echo "FAIL: left $(ls -A "$work/out")"; failures=1; }
exit "$failures"
