#!/usr/bin/env bash
# A sound server that answers but cannot take the stream (run under with_xvfb.sh and
# with_pulse.sh with GLIMWICK_PULSE_NO_SINK=1: a PulseAudio with no sink). The show must
# not freeze on its first frame: its picture moves on the wall clock, it says once that
# it goes on silent, its stream appears on a sink within 2 s of one being loaded, and
# Escape ends it with status 0. Args: GLIMWICK WMCLOSE TESTDATA
set -u
testdata=$(readlink -f "$3")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
exe=$(readlink -f "$1")
err="$work/err"
pid=""
trap 'kill_children; rm -rf "$work"' EXIT

"$testdata" "$work/show" 60 || { echo "cannot write test data"; exit 1; }
said() { grep -c 'glimwick: sound lost (.*); going on silent' "$err" 2>/dev/null; }
shot() { import -window "$win" -resize 256x192 "$work/$1.ppm" 2>/dev/null; }

label="no sink, then one"
(cd "$work/show" && exec "$exe" >"$work/out" 2>"$err") &
pid=$!
answer_question Escape || exit 1
wait_for 20 show_window || { fail "no window"; exit 1; }
# Past the opening flash, which fades by frame count even on a clock that stands still.
sleep 6
shot a
sleep 2
shot b
if [ ! -s "$work/a.ppm" ] || [ ! -s "$work/b.ppm" ]; then
    fail "cannot take the screenshots"
elif cmp -s "$work/a.ppm" "$work/b.ppm"; then
    fail "the picture stood still for 2 s without a sink"
else
    pass "the picture moves without a sink"
fi
[ "$(said)" = 1 ] && pass "the loss said once: $(grep -m1 'sound lost' "$err")" ||
    fail "the loss said $(said) times ($(cat "$err"))"
show_playing && fail "a stream without a sink?"
pactl load-module module-null-sink sink_name=late >/dev/null || fail "cannot load a sink"
wait_for 2 show_playing && pass "the music is on the new sink within 2 s" ||
    fail "no stream on the new sink after 2 s"
sleep 1
[ "$(said)" = 1 ] && pass "still said once" || fail "said $(said) times"
exited && fail "the show ended by itself ($(cat "$err"))"
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" Escape
ends_with 10 0
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
