#!/usr/bin/env bash
# The sound-server wrappers reach their own server only. Run under with_pulse.sh, whose
# server stands for a desktop's and is named in PULSE_SERVER as desktops and containers
# do; inside each wrapper, pactl must reach that wrapper's server, and once the wrapper's
# GLIMWICK_PULSE_PID is stopped, no server at all. Args: none
set -u
. "$(dirname "$0")/../support/e2e_lib.sh"
support=$(cd "$(dirname "$0")/../support" && pwd)
[ -n "${GLIMWICK_PULSE_PID:-}" ] || { echo "run under tests/support/with_pulse.sh"; exit 1; }
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
pactl info >/dev/null 2>&1 || { echo "the decoy server does not answer"; exit 1; }

# What the wrapper's command sees: its runtime folder, the server pactl reaches, and what
# pactl reaches once the wrapper's server is stopped (2 s to go).
probe='reached() { pactl info 2>/dev/null | sed -n "s/^Server String: //p"; }
echo "runtime: $XDG_RUNTIME_DIR"
echo "server: $(reached)"
kill "$GLIMWICK_PULSE_PID"
for _ in $(seq 1 20); do [ -z "$(reached)" ] && break; sleep 0.1; done
echo "after stop: $(reached)"'

for wrapper in with_pulse.sh with_pipewire.sh; do
    out=$(bash "$support/$wrapper" bash -c "$probe" 2>&1)
    runtime=$(sed -n 's/^runtime: //p' <<<"$out")
    server=$(sed -n 's/^server: //p' <<<"$out")
    if [ -n "$runtime" ] && [ "${server#unix:}" = "$runtime/pulse/native" ]; then
        pass "$wrapper: pactl reaches the wrapper's server"
    else
        fail "$wrapper: pactl reaches '$server', not the server in '$runtime': $(tail -n 3 <<<"$out")"
    fi
    after=$(sed -n 's/^after stop: //p' <<<"$out")
    grep -q '^after stop: $' <<<"$out" && pass "$wrapper: no server once its own is stopped" ||
        fail "$wrapper: once its own server is stopped pactl still reaches '$after'"
done
pactl info >/dev/null 2>&1 && pass "the decoy server still runs" || fail "the decoy server was stopped"
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
