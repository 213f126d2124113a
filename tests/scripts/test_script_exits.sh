#!/usr/bin/env bash
# The test scripts' own ways out, each driven to it with stand-ins and a private $TMPDIR:
# the fuzz runner and two end-to-end scripts ending early remove their scratch folders;
# the full-run script refuses to clear a folder from the environment that is not its own;
# the Wine script refuses to run without a prefix of the tests' own (no Wine started).
# With no usable $TMPDIR every script that makes a work folder ends before writing anything.
# Nothing here needs a display, Wine or a fuzzer. Args: SOURCE_DIR
set -u
src=$(readlink -f "$1")
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir scratch
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/tmp" "$scratch/bin"

# runs LABEL STATUS COMMAND...: COMMAND with TMPDIR private (20 s at most) ends with
# STATUS and leaves nothing in TMPDIR.
runs() {
    local label=$1 want=$2 rc left
    shift 2
    TMPDIR="$scratch/tmp" timeout 20 "$@" >"$scratch/out" 2>&1
    rc=$?
    left=$(ls -A "$scratch/tmp")
    if [ "$rc" = "$want" ] && [ -z "$left" ]; then
        pass "$label: status $rc, nothing left"
    else
        fail "$label: status $rc (wanted $want), left '$left': $(tail -n 2 "$scratch/out" | tr '\n' ' ')"
    fi
    rm -rf "${scratch:?}/tmp"/* "${scratch:?}/tmp"/.[!.]*
}

# A fuzzer that adds to the corpus it is given and exits with status 3.
printf '#!/usr/bin/env bash\ntouch "${@: -2:1}/new-input"\nexit 3\n' >"$scratch/bin/fuzzer"
chmod +x "$scratch/bin/fuzzer"
mkdir "$scratch/seeds"
runs "run_fuzz.sh" 3 bash "$src/tests/fuzz/run_fuzz.sh" "$scratch/bin/fuzzer" "$scratch/seeds" 1

# The end-to-end scripts, with test data that cannot be written: they end before any show.
runs "e2e_exits.sh ending early" 1 bash "$src/tests/shell/e2e_exits.sh" /bin/true none \
    /bin/false none none
GLIMWICK_SCREENSHOT_DIR="$scratch/shots" runs "e2e_show.sh ending early" 1 \
    bash "$src/tests/scenes/e2e_show.sh" "$scratch/none/glimwick" none /bin/false

# A run folder from the environment that holds something else is left alone.
mkdir "$scratch/home" && touch "$scratch/home/precious"
GLIMWICK_RUN_DIR="$scratch/home" runs "long_full_run.sh with a foreign folder" 1 \
    bash "$src/tests/shell/long_full_run.sh" /bin/false
[ -f "$scratch/home/precious" ] && pass "long_full_run.sh kept the foreign folder's files" ||
    fail "long_full_run.sh emptied GLIMWICK_RUN_DIR"

# Wine stand-ins that note every call; a folder that passes for a Windows build.
for tool in wine wineserver wineboot; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/wine-calls"\n' "$tool" "$scratch" >"$scratch/bin/$tool"
    chmod +x "$scratch/bin/$tool"
done
mkdir "$scratch/windows" && touch "$scratch/windows/glimwick.exe" && chmod +x "$scratch/windows/glimwick.exe"
for prefix in "" "$HOME/.wine"; do
    rm -f "$scratch/wine-calls"
    WINEPREFIX=$prefix PATH="$scratch/bin:$PATH" runs "e2e_windows.sh with WINEPREFIX='$prefix'" 1 \
        bash "$src/tests/windows/e2e_windows.sh" shell "$scratch/windows" "$scratch/windows/glimwick.exe"
    [ ! -f "$scratch/wine-calls" ] && pass "e2e_windows.sh with WINEPREFIX='$prefix': no Wine started" ||
        fail "e2e_windows.sh with WINEPREFIX='$prefix' ran: $(head -n 3 "$scratch/wine-calls" | tr '\n' ';')..."
done

# No usable $TMPDIR: every script that makes a work folder ends at once with status 1 and
# one line. It runs in a mount namespace of its own with the root file system read-only, so
# a script that went on with an empty work path shows that in its output instead of
# writing /bin/ffmpeg, /usr/bin/glimwick or /config.
sealed() { # sealed COMMAND...: COMMAND in a private mount namespace, / read-only
    local user=()
    [ "$(id -u)" = 0 ] || user=(-r)
    unshare -m "${user[@]}" bash -c \
        'mount --make-rprivate / && mount -o remount,bind,ro / && exec "$@"' sealed "$@"
}
no_tmpdir() { # no_tmpdir SCRIPT ARGS...
    local name=${1##*/} rc
    TMPDIR="$scratch/missing" WINEPREFIX="$scratch/prefix" sealed timeout 20 bash "$@" \
        >"$scratch/out" 2>&1
    rc=$?
    local want="$name: cannot make a work folder in $scratch/missing"
    [ "$rc" = 1 ] && [ "$(cat "$scratch/out")" = "$want" ] &&
        pass "$name without TMPDIR: status 1, nothing written" ||
        fail "$name without TMPDIR: status $rc, said: $(head -n 4 "$scratch/out" | tr '\n' ' ')"
}
if sealed bash -c '! touch /.glimwick-probe' 2>/dev/null; then
    show=(/bin/true none /bin/false)
    for script in shell/e2e_shell.sh shell/e2e_flood.sh shell/e2e_wayland.sh \
        shell/e2e_sound_loss.sh shell/e2e_sound_no_sink.sh \
        scenes/e2e_show.sh; do
        no_tmpdir "$src/tests/$script" "${show[@]}"
    done
    no_tmpdir "$src/tests/shell/e2e_exits.sh" "${show[@]}" none none
    no_tmpdir "$src/tests/capture/e2e_capture.sh" /bin/false "$src"
    no_tmpdir "$src/tests/capture/e2e_capture_signals.sh" /bin/false "$src"
    no_tmpdir "$src/tests/packaging/test_package.sh" "$scratch" "$src"
    no_tmpdir "$src/tests/windows/e2e_windows.sh" shell "$scratch/windows" none
    no_tmpdir "$src/tests/fuzz/run_fuzz.sh" /bin/false "$scratch/seeds" 1
    no_tmpdir "$src/tests/scripts/test_debian_sources.sh"
    no_tmpdir "$src/tests/scripts/test_install_packages.sh"
    for wrapper in with_xvfb.sh with_pulse.sh with_pipewire.sh; do
        no_tmpdir "$src/tests/support/$wrapper" /bin/true
    done
else
    echo "SKIP: no private mount namespace here (unshare -m): the scripts without TMPDIR not run"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
