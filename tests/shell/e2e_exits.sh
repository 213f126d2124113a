#!/usr/bin/env bash
# Every way out of the real executable under Xvfb: SIGINT, SIGTERM, SIGHUP and SIGQUIT
# during the start-up question, at the first frame and mid-show end it as Escape does
# (status 0, no core, no window left, the screen's mode as it was); a stall (SIGSTOP for
# 2 s) does not; an exception out of the loop ends it with one line and status 1. SIGHUP
# under nohup changes nothing; a second signal while the shut-down hangs ends the process
# by that signal (SIGQUIT with a core).
# Args: GLIMWICK WMCLOSE TESTDATA THROWLIB HANGLIB
set -u
testdata=$(readlink -f "$3") throwlib=$(readlink -f "$4") hanglib=$(readlink -f "$5")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin" && cp "$1" "$work/bin/glimwick" && exe="$work/bin/glimwick"
ulimit -c unlimited # a signal that dumped core would leave a file in the run's directory

"$testdata" "$work/show" 30 || { echo "cannot write test data"; exit 1; }
screen_size() { xdpyinfo | awk '/dimensions:/ {print $2}'; }
desktop=$(screen_size)

# launch [ENV...]: the show in its own directory, answering nothing yet; through $via
# (nohup, say) when that is set. A script's background commands start with SIGINT and
# SIGQUIT ignored, which the show keeps as it keeps nohup's SIGHUP: they get their
# default actions back, as in a command typed at a terminal.
launch() {
    rm -f "$work/show"/core*
    (cd "$work/show" && exec ${via:-} env --default-signal=INT,QUIT "$@" "$exe" </dev/null \
        >"$work/out" 2>"$work/err") &
    pid=$!
    wait_for 10 box_shown && return
    fail "$label: the question box did not appear"
    return 1
}

answer() { # answer KEY: Return is Yes (fullscreen asked for), Escape is No
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --window "$box" "$1"
    wait_for 20 show_window && return
    fail "$label: no 1024 x 768 window"
    return 1
}

presents_frames() {
    timeout 10 import -window "$win" -resize 64x48 txt:- 2>/dev/null | grep -v '^#' |
        grep -qv -E '#000000|black'
}

# ends_cleanly SECONDS STATUS: exit status, no core file, no window, same screen mode.
ends_cleanly() {
    if ! wait_for "$1" exited; then
        fail "$label: still running after $1 s"
        kill -KILL "$pid" 2>/dev/null
        return
    fi
    wait "$pid"
    local rc=$?
    [ "$rc" = "$2" ] && pass "$label: status $rc" ||
        fail "$label: status $rc, wanted $2 ($(head -c 300 "$work/err"))"
    ls "$work/show"/core* >/dev/null 2>&1 && fail "$label: left a core file"
    [ -z "$(titled_windows)" ] || fail "$label: a window stayed"
    [ "$(screen_size)" = "$desktop" ] || fail "$label: screen left at $(screen_size)"
}

for sig in INT TERM HUP QUIT; do
    label="SIG$sig during the question"
    launch && kill -"$sig" "$pid" && ends_cleanly 5 0

    label="SIG$sig at the first frame (fullscreen asked for)"
    if launch; then
        xdotool windowfocus --sync "$box" 2>/dev/null
        xdotool key --window "$box" Return
        wait_for 20 show_window && kill -"$sig" "$pid" || fail "$label: no 1024 x 768 window"
        ends_cleanly 10 0
    fi

    label="SIG$sig mid-show"
    if launch && answer Escape; then
        wait_for 10 presents_frames || fail "$label: window stayed black"
        sleep 1
        kill -"$sig" "$pid"
        ends_cleanly 10 0
        [ -s "$work/err" ] && fail "$label: said '$(head -c 200 "$work/err")'"
    fi
done

label="stall"
if launch && answer Escape; then
    wait_for 10 presents_frames || fail "$label: window stayed black"
    kill -STOP "$pid"
    sleep 2
    kill -CONT "$pid"
    timeout 10 import -window "$win" "$work/a.png" 2>/dev/null
    sleep 1
    timeout 10 import -window "$win" "$work/b.png" 2>/dev/null
    if exited; then
        fail "$label: the run ended"
    else
        pass "$label: still running"
        [ "$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)" != 0 ] &&
            pass "$label: the picture moves on" || fail "$label: the picture stood still"
    fi
    xdotool key --window "$win" Escape
    ends_cleanly 10 0
fi

label="exception out of the loop"
if launch GLIMWICK_TEST_THROW_AT=20 LD_PRELOAD="$throwlib" && answer Escape; then
    ends_cleanly 20 1
    [ "$(cat "$work/err")" = "glimwick: out of memory" ] && pass "$label: one line" ||
        fail "$label: said '$(cat "$work/err")'"
fi

label="SIGHUP under nohup"
if via=nohup launch; then
    kill -HUP "$pid"
    sleep 1
    exited && fail "$label: the question went" || pass "$label: the question stays"
    if answer Escape; then
        wait_for 10 presents_frames || fail "$label: window stayed black"
        kill -HUP "$pid"
        sleep 1
        exited && fail "$label: the show ended" || pass "$label: the show runs on"
        kill -TERM "$pid"
        ends_cleanly 10 0
    fi
fi

# A core file is looked for only where the kernel writes one into the working directory.
core_here=0
case "$(cat /proc/sys/kernel/core_pattern)" in "|"* | */*) ;; *) core_here=1 ;; esac
for pair in "TERM INT" "HUP QUIT"; do
    read -r first second <<<"$pair"
    label="SIG$second while the shut-down after SIG$first hangs"
    rm -f "$work/hung"
    if launch GLIMWICK_TEST_HANG_FILE="$work/hung" LD_PRELOAD="$hanglib" && answer Escape; then
        wait_for 10 presents_frames || fail "$label: window stayed black"
        kill -"$first" "$pid"
        if ! wait_for 10 test -f "$work/hung"; then
            fail "$label: the shut-down did not begin"
            continue
        fi
        sleep 1
        exited && fail "$label: ended before the second signal"
        kill -"$second" "$pid"
        if ! wait_for 5 exited; then
            fail "$label: still running 5 s after SIG$second"
            kill -KILL "$pid"
        fi
        wait "$pid"
        rc=$?
        want=$((128 + $(kill -l "$second")))
        [ "$rc" = "$want" ] && pass "$label: status $rc" || fail "$label: status $rc, wanted $want"
        if [ "$second" = QUIT ] && [ "$core_here" = 1 ]; then
            ls "$work/show"/core* >/dev/null 2>&1 && pass "$label: dumped core" ||
                fail "$label: no core file"
        fi
        rm -f "$work/show"/core*
        [ "$(screen_size)" = "$desktop" ] || fail "$label: screen left at $(screen_size)"
    fi
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
