#!/usr/bin/env bash
# Runs a command against a private PipeWire with its PulseAudio service (pipewire,
# wireplumber, pipewire-pulse, under dbus-run-session) and a null sink named "glimwick",
# made by a drop-in in $XDG_CONFIG_HOME/pipewire/pipewire.conf.d/. The PipeWire twin of
# with_pulse.sh, with the same contract: the command sees the private XDG_RUNTIME_DIR,
# PULSE_SERVER naming the service there and no other PULSE_ setting, and no
# SDL_AUDIODRIVER (GLIMWICK_SDL_PULSE=1 sets SDL's pulseaudio driver),
# GLIMWICK_PULSE_PID (pipewire-pulse's pid: stopping it is a server going away, for the
# show), the function glimwick_pulse_start, which starts another pipewire-pulse, and
# GLIMWICK_PIPEWIRE=1.
# Usage: with_pipewire.sh COMMAND [ARGS...]
set -u
if [ -z "${GLIMWICK_IN_DBUS:-}" ]; then
    . "$(dirname "$0")/e2e_lib.sh"
    new_work_dir runtime
    chmod 700 "$runtime"
    mkdir -p "$runtime/config/pipewire/pipewire.conf.d"
    cat >"$runtime/config/pipewire/pipewire.conf.d/glimwick-null-sink.conf" <<'CONF'
context.objects = [
    { factory = adapter
        args = {
            factory.name     = support.null-audio-sink
            node.name        = "glimwick"
            node.description = "Glimwick null sink"
            media.class      = Audio/Sink
            audio.position   = [ FL FR ]
            monitor.channel-volumes = true
        }
    }
]
CONF
    export XDG_RUNTIME_DIR="$runtime" HOME="$runtime" XDG_CONFIG_HOME="$runtime/config"
    own_pulse_server "$runtime"
    GLIMWICK_IN_DBUS=1 dbus-run-session -- bash "$0" "$@" 2>&1
    rc=$?
    rm -rf "$runtime"
    exit $rc
fi
unset GLIMWICK_IN_DBUS SDL_AUDIODRIVER
[ -n "${GLIMWICK_SDL_PULSE:-}" ] && export SDL_AUDIODRIVER=pulseaudio
log="$XDG_RUNTIME_DIR/log"
glimwick_pulse_start() { # sets server_pid; false when the service does not answer
    pipewire-pulse >>"$XDG_RUNTIME_DIR/log" 2>&1 &
    server_pid=$!
    for _ in $(seq 1 200); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
export -f glimwick_pulse_start
pids=()
stop() {
    [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
}
trap 'stop; exit 130' INT TERM
pipewire >>"$log" 2>&1 &
pids+=($!)
# The session manager and the service give up at once if the daemon is not yet listening.
for _ in $(seq 1 200); do
    [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
    sleep 0.05
done
wireplumber >>"$log" 2>&1 &
pids+=($!)
# Ready once the session manager has made the null sink the default (the only sink, it
# becomes the default by itself; streams started before that find nowhere to go).
sink_ready() { pactl info 2>/dev/null | grep -q '^Default Sink: glimwick$'; }
if ! glimwick_pulse_start || ! { for _ in $(seq 1 200); do sink_ready && break; sleep 0.05; done
    sink_ready; }; then
    echo "with_pipewire: PipeWire's PulseAudio service did not start" >&2
    cat "$log" >&2
    stop
    exit 1
fi
export GLIMWICK_PULSE_PID=$server_pid GLIMWICK_PIPEWIRE=1
"$@"
rc=$?
stop
exit $rc
