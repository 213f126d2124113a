#!/usr/bin/env bash
# Runs a command against a private PulseAudio server with a null sink named "glimwick",
# then stops the server by its pid. Usage: with_pulse.sh COMMAND [ARGS...]
# The command sees SDL_AUDIODRIVER=pulseaudio, XDG_RUNTIME_DIR of the server, and
# GLIMWICK_PULSE_START, a command line that starts the server again (after a kill).
set -u
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime" HOME="$runtime" SDL_AUDIODRIVER=pulseaudio
# -n: no default configuration, only the modules named; as root the server runs in its
# per-user mode all the same. It never exits on idle.
export GLIMWICK_PULSE_START="pulseaudio -n --daemonize=no --exit-idle-time=-1 \
--disallow-exit --log-target=file:$runtime/log -L module-native-protocol-unix \
-L module-null-sink sink_name=glimwick"
start_server() {
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --log-target="file:$runtime/log" -L module-native-protocol-unix \
        -L "module-null-sink sink_name=glimwick" &
    server_pid=$!
    for _ in $(seq 1 200); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
stop() {
    [ -n "${keepalive_pid:-}" ] && kill "$keepalive_pid" 2>/dev/null
    [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$runtime"
}
trap 'stop; exit 130' INT TERM
if ! start_server; then
    echo "with_pulse: the PulseAudio server did not start" >&2
    cat "$runtime/log" >&2 2>/dev/null
    stop
    exit 1
fi
# An idle null sink sleeps up to 2 s at a time and takes that long to notice a new
# stream; a desktop's sink is seldom idle. A silent low-latency stream keeps it awake.
pacat --playback --raw --latency-msec=20 /dev/zero &
keepalive_pid=$!
for _ in $(seq 1 100); do
    pactl list short sinks 2>/dev/null | grep -q RUNNING && break
    sleep 0.05
done
"$@"
rc=$?
stop
exit $rc
