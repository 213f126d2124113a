#!/usr/bin/env bash
# The sound server going away mid-show (run under with_xvfb.sh and a sound-server wrapper):
# stopped at 10 s, the show says so once and goes on silent, its picture moving on the
# wall clock; a new server started a few seconds later gets the music back, and Escape
# then ends the show with status 0. Two paths to the server: the show's own PulseAudio
# client (a new server at 15 s, the music back within 10 s), or with GLIMWICK_SDL_PULSE=1
# (SDL_AUDIODRIVER=pulseaudio) SDL's stream, never the show's client (a new server at 13 s,
# the stream back within 3 s). The run ends once that is shown: the show's own end after a
# loss is the same end glimwick-e2e-show checks. Args: GLIMWICK WMCLOSE TESTDATA
set -u
testdata=$(readlink -f "$3")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
exe=$(readlink -f "$1")
err="$work/err"
second=""
trap 'kill_children; [ -n "$second" ] && kill "$second" 2>/dev/null; rm -rf "$work"' EXIT

if [ "${SDL_AUDIODRIVER:-}" = pulseaudio ]; then
    path="SDL's path" gap=3 back_within=3
else
    path="the show's client" gap=5 back_within=10
fi
"$testdata" "$work/show" 125 || { echo "cannot write test data"; exit 1; }
said() { grep -c 'glimwick: sound lost (.*); going on silent' "$err" 2>/dev/null; }
shot() { import -window "$win" -resize 256x192 "$work/$1.ppm" 2>/dev/null; }
sdl_plays() { ! stream_named Music; }
# sleep_until START SECONDS: until SECONDS after START (from date +%s%N), if that is ahead.
sleep_until() {
    local left=$((($1 + $2 * 1000000000 - $(date +%s%N)) / 1000000))
    [ "$left" -gt 0 ] && sleep "$((left / 1000)).$(printf '%03d' $((left % 1000)))"
}

label="$path, server lost at 10 s, back at $((10 + gap)) s, then Escape"
(cd "$work/show" && exec "$exe" >"$work/out" 2>"$err") &
pid=$!
answer_question Escape || exit 1
wait_for 20 show_window || { fail "no window"; exit 1; }
started=$(date +%s%N)
if ! wait_for 10 show_playing; then
    fail "no stream on the first server"
elif [ "$path" = "SDL's path" ] && ! sdl_plays; then
    fail "the show's own client plays, not SDL"
else
    pass "the music plays on the first server ($path)"
fi
sleep_until "$started" 10
kill "$GLIMWICK_PULSE_PID"
lost=$(date +%s%N)
wait_for 3 test "$(said)" -ge 1 && pass "the loss said: $(grep -m1 'sound lost' "$err")" ||
    fail "the loss not said within 3 s ($(cat "$err"))"
# Silent, the clock runs on: the picture moves (the opening flash is long gone).
shot a
sleep 1
shot b
if [ ! -s "$work/a.ppm" ] || [ ! -s "$work/b.ppm" ]; then
    fail "cannot take the screenshots"
elif cmp -s "$work/a.ppm" "$work/b.ppm"; then
    fail "the picture stood still for 1 s without a server"
else
    pass "the picture moves without a server"
fi
sleep_until "$lost" "$gap"
exited && fail "the show ended when the server went away ($(cat "$err"))"
glimwick_pulse_start && second=$server_pid || fail "the second server did not start"
back=$(date +%s%N)
if wait_for "$back_within" show_playing; then
    pass "the music on the new server after $((($(date +%s%N) - back) / 1000000)) ms"
    [ "$path" = "SDL's path" ] && ! sdl_plays && fail "the show's own client plays on the new server, not SDL"
else
    fail "no stream on the new server within $back_within s"
fi
sleep 1
[ "$(said)" = 1 ] && pass "said once" || fail "said $(said) times: $(cat "$err")"
exited && fail "the show ended by itself ($(cat "$err"))"
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" Escape
ends_with 10 0
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
