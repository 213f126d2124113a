#!/usr/bin/env bash
# The whole show end to end under Xvfb: the real executable answered No, screenshots of
# the window at 2, 20, 60 and 110 s, checked for bars, picture and end-scene colour, and
# the run ending by itself at 120 s with status 0. Args: GLIMWICK WMCLOSE TESTDATA.
# Screenshots go to $GLIMWICK_SCREENSHOT_DIR (default: ./e2e-show).
set -u
exe=$1 testdata=$3
shots=${GLIMWICK_SCREENSHOT_DIR:-$PWD/e2e-show}
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$shots"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# region FILE X Y W H EXPR: an fx expression over a region, as an integer (0-255 scale).
region() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -format "%[fx:int(255*($6)+0.5)]" info:
}

# The real data when the build copied it beside the executable, else stand-ins long
# enough that the music reaches 120 s without looping.
data=$(dirname "$exe")/data
mkdir -p "$work/show"
if [ -f "$data/tarnwhistle.ogg" ] && [ -f "$data/texture_text.png" ]; then
    cp -r "$data" "$work/show/"
    echo "using the show's data"
else
    "$testdata" "$work/show" 125 || { echo "cannot write test data"; exit 1; }
    echo "using stand-in data"
fi

err="$work/err"
(cd "$work/show" && exec "$exe" >"$work/out" 2>"$err") &
pid=$!
answer_question Escape || exit 1 # No: windowed
wait_for 30 show_window || { fail "no 1024 x 768 window after answering No"; exit 1; }
start=$(now_ms)
pass "windowed 1024 x 768 after No"

shoot() { # shoot SECONDS: the window at about SECONDS of music
    local wait_ms=$(($1 * 1000 - ($(now_ms) - start)))
    [ "$wait_ms" -gt 0 ] && sleep "$((wait_ms / 1000)).$(printf '%03d' $((wait_ms % 1000)))"
    if exited; then
        fail "the run ended before $1 s"
        return 1
    fi
    import -window "$win" "$shots/screenshot-$1s.png" 2>/dev/null ||
        fail "cannot take the $1 s screenshot"
}

# The main part: black bars above row 128 and below row 640, a lit and varied picture.
check_main() { # check_main SECONDS
    local f="$shots/screenshot-$1s.png"
    [ -f "$f" ] || return
    local top bottom mean spread
    top=$(region "$f" 0 0 1024 126 maxima)
    bottom=$(region "$f" 0 643 1024 125 maxima)
    mean=$(region "$f" 0 130 1024 508 mean)
    spread=$(region "$f" 0 130 1024 508 standard_deviation)
    [ "$top" -le 2 ] && [ "$bottom" -le 2 ] && pass "$1 s: letterbox bars black" ||
        fail "$1 s: bars not black (top max $top, bottom max $bottom)"
    [ "$mean" -ge 25 ] && [ "$spread" -ge 20 ] && pass "$1 s: picture lit and varied" ||
        fail "$1 s: picture mean $mean, spread $spread"
}

shoot 2 && shoot 20 && shoot 60 && shoot 110
for s in 2 20 60; do check_main "$s"; done

# The end part: dark red where neither model nor text is, no bars.
end="$shots/screenshot-110s.png"
if [ -f "$end" ]; then
    r=$(region "$end" 0 0 1024 100 mean.r)
    g=$(region "$end" 0 0 1024 100 mean.g)
    b=$(region "$end" 0 0 1024 100 mean.b)
    rb=$(region "$end" 0 668 1024 100 mean.r)
    [ "$r" -ge 31 ] && [ "$r" -le 33 ] && [ "$g" -le 1 ] && [ "$b" -le 1 ] && [ "$rb" -ge 31 ] &&
        pass "110 s: dark red background, no bars" ||
        fail "110 s: top rows ($r, $g, $b), bottom red $rb"
    centre=$(region "$end" 360 349 304 70 maxima)
    [ "$centre" -ge 128 ] && pass "110 s: text panel in the middle" ||
        fail "110 s: nothing bright in the middle panel (max $centre)"
fi

# Ends by itself when the music reaches 120 s, with status 0.
if wait_for 40 exited; then
    wait "$pid"
    rc=$?
    elapsed=$((($(now_ms) - start) / 1000))
    [ "$rc" = 0 ] && pass "ended with status 0" || fail "status $rc ($(cat "$work/err"))"
    [ "$elapsed" -ge 115 ] && [ "$elapsed" -le 130 ] && pass "ended by itself after $elapsed s" ||
        fail "ended after $elapsed s"
else
    fail "still running after 150 s"
fi

echo "$passes passed, $failures failed; screenshots in $shots"
[ "$failures" -eq 0 ]
