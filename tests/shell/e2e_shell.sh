#!/usr/bin/env bash
# The real executable under Xvfb: the start-up question, the window, Escape, a window
# manager's close request, and start-up failures. Args: GLIMWICK WMCLOSE TESTDATA
set -u
wmclose=$(readlink -f "$2") testdata=$(readlink -f "$3")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
# A copy of the executable with no data/ beside it, so only the working directory counts.
mkdir -p "$work/bin" && cp "$1" "$work/bin/glimwick" && exe="$work/bin/glimwick"
err="$work/err"
trap 'kill_children; rm -rf "$work"' EXIT

# start DIR KEY: runs the show in DIR and answers the question with KEY.
start() {
    (cd "$1" && exec "$exe" >"$work/out" 2>"$err") &
    pid=$!
    answer_question "$2" || return 1
    if ! wait_for 20 show_window; then
        fail "no 1024 x 768 window after answering with $2"
        return 1
    fi
}

# The window shows a picture: some pixel of it is not black.
presents_frames() {
    import -window "$win" -resize 64x48 txt:- 2>/dev/null | grep -v '^#' |
        grep -qv -E '#000000|black'
}

"$testdata" "$work/show" 30 || { echo "cannot write test data"; exit 1; }

label="Escape"
if start "$work/show" Escape; then
    wait_for 10 presents_frames && pass "frames presented" || fail "window stayed black"
    xdotool windowfocus --sync "$win" 2>/dev/null
    t0=$(date +%s%N)
    xdotool key --window "$win" Escape
    ends_with 5 0
    elapsed=$((($(date +%s%N) - t0) / 1000000))
    [ "$elapsed" -lt 1000 ] && pass "Escape ended the run in $elapsed ms" || fail "Escape took $elapsed ms"
fi

label="Yes refused by the display"
if start "$work/show" Return; then
    pass "$label: windowed 1024 x 768"
    xdotool key --window "$win" Escape
    ends_with 5 0
fi

label="window manager close"
if start "$work/show" Escape; then
    "$wmclose" "$win"
    ends_with 5 0
fi

label="other keys are swallowed"
if start "$work/show" Escape; then
    xdotool key --window "$win" a space Return
    sleep 1
    exited && fail "$label: the run ended" || pass "$label: still running"
    kill -TERM "$pid"
    label="SIGTERM"
    ends_with 5 0
fi

# Start-up failures: one line naming what failed, status 1, no window left behind.
failing_start() { # failing_start DIR NEEDLE
    (cd "$1" && exec "$exe" >"$work/out" 2>"$work/err") &
    pid=$!
    wait_for 10 box_shown && xdotool key --window "$box" Escape
    ends_with 10 1
    grep -qF "$2" "$work/err" && pass "$label: message names $2" ||
        fail "$label: message '$(cat "$work/err")' lacks $2"
    [ "$(wc -l <"$work/err")" -le 1 ] || fail "$label: more than one line of error"
    [ -z "$(titled_windows)" ] && pass "$label: no window left" || fail "$label: a window stayed"
}

mkdir -p "$work/nomusic/data" "$work/noimage/data" "$work/badimage/data" "$work/badmusic/data"
cp "$work/show/data/texture_text.png" "$work/nomusic/data/"
cp "$work/show/data/tarnwhistle.ogg" "$work/noimage/data/"
cp "$work/show/data/tarnwhistle.ogg" "$work/badimage/data/"
head -c 300 "$work/show/data/texture_text.png" >"$work/badimage/data/texture_text.png"
cp "$work/show/data/texture_text.png" "$work/badmusic/data/"
head -c 2000 /dev/urandom >"$work/badmusic/data/tarnwhistle.ogg"

label="no music file" && failing_start "$work/nomusic" "data/tarnwhistle.ogg"
label="no image file" && failing_start "$work/noimage" "data/texture_text.png"
label="truncated image" && failing_start "$work/badimage" "data/texture_text.png"
label="corrupt music" && failing_start "$work/badmusic" "data/tarnwhistle.ogg"

label="no display"
(cd "$work/show" && DISPLAY= exec "$exe" >"$work/out" 2>"$work/err") &
pid=$!
ends_with 10 1
grep -qi "display" "$work/err" && pass "$label: message says so" || fail "$label: message '$(cat "$work/err")'"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
