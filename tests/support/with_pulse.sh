#!/usr/bin/env bash
# Runs a command against a private PulseAudio server with a null sink named "glimwick",
# then stops the server by its pid. Usage: with_pulse.sh COMMAND [ARGS...]
# The command sees the server's XDG_RUNTIME_DIR, PULSE_SERVER naming that server and no
# other PULSE_ setting, and no SDL_AUDIODRIVER, so the music plays on the server directly
# (set GLIMWICK_SDL_PULSE=1 for SDL's own pulseaudio driver),
# GLIMWICK_PULSE_PID, the server's pid, and the function glimwick_pulse_start, which
# starts another server in its place (the caller stops that one).
# GLIMWICK_PULSE_NO_SINK=1: the server has no sink at all (as one configured without a
# fallback sink); the command loads one with pactl when it wants.
set -u
. "$(dirname "$0")/e2e_lib.sh"
new_work_dir runtime
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime" HOME="$runtime"
own_pulse_server "$runtime"
unset SDL_AUDIODRIVER
[ -n "${GLIMWICK_SDL_PULSE:-}" ] && export SDL_AUDIODRIVER=pulseaudio
# -n: no default configuration, only the modules named; as root the server runs in its
# per-user mode all the same. It never exits on idle.
glimwick_pulse_start() { # sets server_pid; false when the server does not answer
    local sink=(-L "module-null-sink sink_name=glimwick")
    [ -n "${GLIMWICK_PULSE_NO_SINK:-}" ] && sink=()
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --log-target="file:$XDG_RUNTIME_DIR/log" -L module-native-protocol-unix "${sink[@]}" &
    server_pid=$!
    for _ in $(seq 1 200); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
export -f glimwick_pulse_start
stop() {
    [ -n "${keepalive_pid:-}" ] && kill "$keepalive_pid" 2>/dev/null
    [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$runtime"
}
trap 'stop; exit 130' INT TERM
if ! glimwick_pulse_start; then
    echo "with_pulse: the PulseAudio server did not start" >&2
    cat "$runtime/log" >&2 2>/dev/null
    stop
    exit 1
fi
# An idle null sink sleeps 2 s at a time and only then notices a new stream; a
# desktop's sink is seldom idle. A silent low-latency stream keeps it awake, once the
# sink's idle sleep has run out.
if [ -z "${GLIMWICK_PULSE_NO_SINK:-}" ]; then
    pacat --playback --raw --latency-msec=20 /dev/zero &
    keepalive_pid=$!
    sleep 2.2
fi
export GLIMWICK_PULSE_PID=$server_pid
"$@"
rc=$?
stop
exit $rc
