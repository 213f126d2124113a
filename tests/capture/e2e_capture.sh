#!/usr/bin/env bash
# The capture tool as a user runs it, with no display at all: refusals that leave nothing
# behind, PNG frames that repeat byte for byte, a pillarboxed video with sound, Ctrl-C and
# a failing encoder. Args: GLIMWICK_CAPTURE SOURCE_DIR
set -u
capture=$(readlink -f "$1")
cd "$2" || exit 1 # data/ is found from the working directory
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY

# refused LABEL ARGS...: status 2, exactly one line on stderr, nothing new in $work.
# $search_path, when set, is the tool's PATH.
refused() {
    local label=$1
    shift
    local before after rc
    before=$(ls -A "$work" | sort)
    env PATH="${search_path:-$PATH}" "$capture" "$@" >"$work/.out" 2>"$work/.err"
    rc=$?
    after=$(ls -A "$work" | grep -v -x -e .out -e .err | sort)
    if [ "$rc" = 2 ] && [ "$(wc -l <"$work/.err")" = 1 ] && [ "$before" = "$after" ]; then
        pass "$label: status 2, '$(cat "$work/.err")'"
    else
        fail "$label: status $rc, stderr '$(cat "$work/.err")', files: $after"
    fi
    rm -f "$work/.out" "$work/.err"
}

"$capture" --help >"$work/help" 2>&1 && grep -q -- "--size WxH" "$work/help" &&
    pass "--help prints the usage" || fail "--help: $(cat "$work/help")"
rm -f "$work/help"

refused "fps of zero" --fps 0 --out "$work/a.mp4"
refused "range past the show" --to 121 --out "$work/a.mp4"
refused "odd video size" --size 1919x1080 --out "$work/a.mp4"
refused "unknown format" --out "$work/a.avi"
refused "folder that cannot be made" --out "$work/missing/frames"
refused "video in a missing folder" --out "$work/missing/a.mkv"
mkdir "$work/full" && touch "$work/full/keep"
refused "folder with files in it" --out "$work/full"
[ -f "$work/full/keep" ] && pass "the full folder kept its file" || fail "the full folder was touched"
rm -rf "$work/full"
search_path=/nonexistent refused "no ffmpeg on PATH" --to 1 --out "$work/a.mp4"

# PNG frames, twice: frames 150 to 169 at 10 fps (scene 2 begins at 15.186 s), the same
# bytes both times.
for run in a b; do
    "$capture" --fps 10 --from 15 --to 17 --out "$work/$run" 2>"$work/progress-$run"
    rc=$?
    [ "$rc" = 0 ] || fail "PNG capture $run: status $rc: $(tail -n 1 "$work/progress-$run")"
done
count=$(ls "$work/a" 2>/dev/null | wc -l)
[ "$count" = 20 ] && [ -f "$work/a/000150.png" ] && [ -f "$work/a/000169.png" ] &&
    pass "20 frames named by frame number" || fail "frames written: $(ls "$work/a" | head -3) ($count)"
[ "$(identify -format '%wx%h' "$work/a/000160.png" 2>/dev/null)" = 1024x768 ] &&
    pass "frames are 1024 x 768" || fail "frame size $(identify "$work/a/000160.png" 2>&1)"
if diff -r -q "$work/a" "$work/b" >/dev/null && [ "$count" -gt 0 ]; then
    pass "two captures are byte-identical"
else
    fail "two captures differ: $(diff -r -q "$work/a" "$work/b" | head -3)"
fi
lines=$(grep -c "^frame [0-9]* of 170, .* fps, .* left$" "$work/progress-a")
[ "$lines" -ge 10 ] && [ "$lines" -le 12 ] && pass "progress: $lines lines for 170 frames off a terminal" ||
    fail "progress lines: $lines: $(head -3 "$work/progress-a")"
rm -rf "$work/a" "$work/b" "$work"/progress-*

# A second of 1080p video: 1440 x 1080 picture between black bars, AAC of the same length.
"$capture" --from 1 --to 2 --size 1920x1080 --out "$work/v.mp4" 2>/dev/null
rc=$?
probe=$(ffprobe -v error -show_entries stream=codec_name,width,height,nb_frames,duration \
    -of csv=p=0 "$work/v.mp4" 2>&1 | tr '\n' ' ')
case "$probe" in
"h264,1920,1080,1.000000,60 aac,1.000000,"*) pass "1080p video: $probe" ;;
*) fail "video (status $rc): $probe" ;;
esac
ffmpeg -v error -ss 0.5 -i "$work/v.mp4" -frames:v 1 "$work/still.png"
bars=$(convert "$work/still.png" -crop 236x1080+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info: 2>/dev/null)
picture=$(convert "$work/still.png" -crop 1432x840+244+120 -format '%[fx:mean]' info: 2>/dev/null)
awk "BEGIN { exit !($bars < 0.1 && $picture > 0.05) }" &&
    pass "bars black (max $bars), picture inside (mean $picture)" ||
    fail "bars max $bars, picture mean $picture"
rm -f "$work/v.mp4" "$work/still.png"

# Stopped by a signal: the capture stops, ffmpeg with it, and no file is left. (A
# background job ignores Ctrl-C's SIGINT; SIGTERM takes the same way out.)
"$capture" --out "$work/i.mp4" 2>"$work/err" &
pid=$!
sleep 4
kill -TERM "$pid"
wait "$pid"
rc=$?
left=$(ls -A "$work" | grep -v -x err)
[ "$rc" != 0 ] && [ -z "$left" ] && pass "stopped: status $rc, '$(tail -n 1 "$work/err")', nothing left" ||
    fail "stopped: status $rc, left: $left"
pgrep -f "$work/.i.mp4" >/dev/null && fail "ffmpeg still running" || pass "ffmpeg ended"
rm -f "$work/err"

# An encoder that fails at once: status 1 with its message, nothing left.
mkdir "$work/bin"
printf '#!/bin/sh\necho "x264 exploded" >&2\nexit 1\n' >"$work/bin/ffmpeg"
chmod +x "$work/bin/ffmpeg"
PATH="$work/bin:$PATH" "$capture" --to 5 --out "$work/f.mkv" 2>"$work/err"
rc=$?
left=$(ls -A "$work" | grep -v -x -e err -e bin)
[ "$rc" = 1 ] && grep -q "x264 exploded" "$work/err" && [ -z "$left" ] &&
    pass "failing ffmpeg: '$(cat "$work/err")'" || fail "failing ffmpeg: status $rc, $(cat "$work/err"), left: $left"

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
