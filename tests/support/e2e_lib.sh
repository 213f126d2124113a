# Shared by the test scripts and wrappers (sourced): work folders, verdicts, finding the
# show's windows. Uses $pid (the show's process) and $err (its stderr file); sets $box (the
# question) and $win (the window).
title="V o r n i c >> Glimwick"
failures=0 passes=0

pass() { echo "PASS: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# check DESCRIPTION COMMAND...: a quiet pass when COMMAND succeeds, else a failure.
check() {
    local what=$1
    shift
    if "$@"; then passes=$((passes + 1)); else fail "$what"; fi
}

# new_work_dir VAR: a new private folder under $TMPDIR (or /tmp) in $VAR; when none can be
# made (TMPDIR missing, the disk full or read-only) one line and the script ends with
# status 1, before anything is written: an empty path would make every "$VAR/..." a path
# at the root of the file system.
new_work_dir() {
    local dir
    if ! dir=$(mktemp -d 2>/dev/null) || [ ! -d "$dir" ]; then
        echo "${0##*/}: cannot make a work folder in ${TMPDIR:-/tmp}" >&2
        exit 1
    fi
    printf -v "$1" '%s' "$dir"
}

# own_pulse_server RUNTIME: every PulseAudio client from here on (the show, SDL, pactl)
# talks to the server whose socket is in RUNTIME and to no other: PULSE_SERVER and the
# other PULSE_ settings a desktop or container exports, and a default server in the
# system's client.conf, would send them elsewhere, so that stopping the private server
# changed nothing.
own_pulse_server() {
    local name
    for name in $(compgen -e PULSE_); do unset "$name"; done
    export PULSE_SERVER="unix:$1/pulse/native"
}

# Ids of top-level windows carrying the title, with their sizes: "ID WxH".
titled_windows() {
    xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" |
        sed -E 's/^ *(0x[0-9a-f]+) .*: \(.*\) *([0-9]+x[0-9]+)\+.*/\1 \2/'
}

wait_for() { # wait_for SECONDS COMMAND...: polls every 0.1 s
    local tries=$(($1 * 10))
    shift
    for _ in $(seq 1 "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# SDL's question box is found by its title (xdotool cannot find it by name) and by not being
# the show's own 1024 x 768 window, which carries the same title.
box_shown() { box=$(titled_windows | awk '$2 != "1024x768" {print $1}' | head -n 1); [ -n "$box" ]; }
show_window() { win=$(titled_windows | awk '$2 == "1024x768" {print $1}' | head -n 1); [ -n "$win" ]; }
exited() { ! kill -0 "$pid" 2>/dev/null; }

# answer_question KEY: waits for the start-up question and answers it with a real key. A box
# that never appears is told apart from every other failure: without it the answering key
# would land in the show's window instead.
answer_question() {
    if ! wait_for 20 box_shown; then
        local why
        why=$(grep -F 'cannot show the start-up question' "$err" 2>/dev/null)
        fail "no question box appeared${why:+ ($why)}"
        return 1
    fi
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --window "$box" "$1"
}

# ends_with SECONDS STATUS: the process ends within SECONDS with STATUS (uses $label).
ends_with() {
    if ! wait_for "$1" exited; then
        fail "$label: still running after $1 s"
        kill "$pid" 2>/dev/null
        return 1
    fi
    wait "$pid"
    local rc=$?
    [ "$rc" = "$2" ] && pass "$label: status $rc" ||
        fail "$label: status $rc, wanted $2 ($(cat "$err" 2>/dev/null))"
}

# Kills what a script started in the background (its direct children) on the way out.
kill_children() {
    local child
    for child in $(jobs -p); do kill "$child" 2>/dev/null; done
}

# The show's stream is on the sound server (not only with_pulse.sh's keep-alive stream).
# stream_named NAME: the show's stream carries NAME, "Music" when the show plays to the
# server itself, "Audio Stream" when SDL does.
show_playing() { pactl list sink-inputs 2>/dev/null | grep -q 'application.process.binary = "glimwick"'; }
stream_named() { pactl list sink-inputs 2>/dev/null | grep -q "media.name = \"$1\""; }
