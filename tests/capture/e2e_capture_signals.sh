#!/usr/bin/env bash
# The capture tool ended by signals at every stage and fed to encoders that stop: stand-in
# `ffmpeg` scripts on PATH send the signal themselves at a known moment, so every case is
# deterministic. Each must end with status 128+n (1 for a stalled encoder), leave nothing
# under the output folder or $TMPDIR, and leave no encoder running. A real ffmpeg then
# writes a video whose relative path holds a colon. Args: GLIMWICK_CAPTURE SOURCE_DIR
set -u
capture=$(readlink -f "$1")
cd "$2" || exit 1 # data/ is found from the working directory
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir work
pid=""
trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
mkdir "$work/out" "$work/tmp" "$work/bin" "$work/state"
frame=$((1024 * 768 * 3))

# standin BEHAVIOUR: the `ffmpeg` on PATH. It notes its pid, whether the capture's scratch
# log is in $TMPDIR and whether any descriptor besides 0, 1 and 2 leads to it, makes the
# output file as ffmpeg does, then runs BEHAVIOUR ($target is the output's path).
standin() {
    cat >"$work/bin/ffmpeg" <<EOF
#!/usr/bin/env bash
state="$work/state"
echo \$\$ >"\$state/pid"
ls "\$TMPDIR"/glimwick-capture-ffmpeg-* >/dev/null 2>&1 && touch "\$state/log-in-tmpdir"
for fd in /proc/\$\$/fd/*; do
    case "\${fd##*/}:\$(readlink "\$fd")" in
    [012]:*) ;;
    *glimwick-capture-ffmpeg-*) echo "\${fd##*/}" >>"\$state/leaked" ;;
    esac
done
target=\${!#}
target=\${target#file:}
: >"\$target"
$1
EOF
    chmod +x "$work/bin/ffmpeg"
}

# start ARGS...: the capture in the background with the stand-in first on PATH. A shell
# starts background commands with SIGINT and SIGQUIT ignored, which the capture would
# respect: they are set back to their default actions, as in a foreground command.
start() {
    rm -f "$work/state"/*
    TMPDIR="$work/tmp" PATH="$work/bin:$PATH" env --default-signal=INT,QUIT \
        "$capture" "$@" 2>"$work/err" &
    pid=$!
}

# ends LABEL STATUS SECONDS [MESSAGE]: the capture ends within SECONDS with STATUS (and
# MESSAGE on stderr), leaving nothing behind.
ends() {
    local label=$1 want=$2 seconds=$3 message=${4:-} rc
    for _ in $(seq 1 $((seconds * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "$label: still running after $seconds s"
        kill -KILL "$pid"
    fi
    wait "$pid"
    rc=$?
    pid=""
    local ok=1 standin
    standin=$(cat "$work/state/pid" 2>/dev/null)
    [ "$rc" = "$want" ] || { fail "$label: status $rc, wanted $want ($(tail -n 1 "$work/err"))"; ok=0; }
    [ -z "$message" ] || grep -q "^glimwick-capture: $message" "$work/err" ||
        { fail "$label: said '$(tail -n 1 "$work/err")'"; ok=0; }
    [ -z "$(ls -A "$work/out")" ] || { fail "$label: left $(ls -A "$work/out")"; ok=0; }
    [ -z "$(ls -A "$work/tmp")" ] || { fail "$label: left $(ls -A "$work/tmp") in TMPDIR"; ok=0; }
    # A stand-in that was never started (the signal came first) is no failure.
    if [ -n "$standin" ] && kill -0 "$standin" 2>/dev/null; then
        fail "$label: the encoder (pid $standin) is still running"
        kill -KILL "$standin"
        ok=0
    fi
    [ ! -f "$work/state/leaked" ] ||
        { fail "$label: the scratch log is open in the encoder as fd $(cat "$work/state/leaked")"; ok=0; }
    [ "$ok" = 0 ] || pass "$label: status $rc, nothing left ($(tail -n 1 "$work/err"))"
    rm -rf "${work:?}/out"/.[!.]* "${work:?}/out"/* "${work:?}/tmp"/.[!.]* "${work:?}/tmp"/*
}

# While starting: the stand-in signals as soon as it runs; ffmpeg is started before the
# show, so this comes while the show starts up (or just before).
for sig in HUP INT TERM QUIT; do
    standin "kill -$sig \$PPID; exec cat >>\"\$target\""
    start --to 1 --out "$work/out/s.mp4"
    ends "SIG$sig while starting" $((128 + $(kill -l "$sig"))) 20 interrupted
done

# Mid-capture: after three frames have been read.
for sig in TERM QUIT; do
    standin "head -c $((3 * frame)) >>\"\$target\"; kill -$sig \$PPID; exec cat >>\"\$target\""
    start --to 2 --out "$work/out/m.mkv"
    ends "SIG$sig mid-capture" $((128 + $(kill -l "$sig"))) 20 interrupted
done

# While the encoder finishes: it has read everything and never exits.
for sig in HUP INT; do
    standin "cat >>\"\$target\"; kill -$sig \$PPID; exec sleep 60"
    start --to 0.1 --out "$work/out/f.mp4"
    ends "SIG$sig while the encoder finishes" $((128 + $(kill -l "$sig"))) 20 interrupted
done

# An encoder that stops reading after one frame: a signal still ends the capture (the
# writer is blocked on a full pipe by the time it comes), and with a short stall limit the
# capture gives up by itself. The default limit is 30 s.
standin "head -c $frame >/dev/null; touch \"\$state/read-one\"; exec sleep 60"
start --to 5 --out "$work/out/b.mkv"
for _ in $(seq 1 200); do [ -f "$work/state/read-one" ] && break; sleep 0.1; done
sleep 1
kill -TERM "$pid"
ends "SIGTERM while the encoder stalls" 143 10 interrupted
GLIMWICK_CAPTURE_STALL_SECONDS=1 start --to 5 --out "$work/out/b.mkv"
ends "an encoder that stops reading" 1 20 "the encoder stopped reading"

# PNG frames: a signal once the first file is written.
start --to 5 --out "$work/out/frames"
for _ in $(seq 1 200); do
    ls "$work/out"/.frames.partial-*/000000.png >/dev/null 2>&1 && break
    sleep 0.1
done
kill -HUP "$pid"
ends "SIGHUP while writing PNG frames" 129 10 interrupted

# The first thing the stand-ins noted: the scratch log was in $TMPDIR.
standin "exec cat >>\"\$target\""
start --to 0.1 --out "$work/out/t.mkv"
wait "$pid"
[ -f "$work/state/log-in-tmpdir" ] && pass "the scratch log is made in \$TMPDIR" ||
    fail "the scratch log is not in \$TMPDIR"
rm -rf "${work:?}/out"/* "${work:?}/tmp"/*

# A real ffmpeg and a relative path with a colon, which ffmpeg would take for a protocol.
mkdir -p "$work/rel/clips:v2"
(cd "$work/rel" && "$capture" --to 0.2 --out "clips:v2/b.mkv" 2>"$work/err")
rc=$?
frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames \
    -of csv=p=0 "$work/rel/clips:v2/b.mkv" 2>&1)
[ "$rc" = 0 ] && [ "$frames" = 12 ] && pass "a colon in the output path: $frames frames" ||
    fail "a colon in the output path: status $rc, '$(tail -n 1 "$work/err")', frames '$frames'"

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
