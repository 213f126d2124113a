#!/usr/bin/env bash
# Builds everything and runs every test through CTest, headless (Xvfb, Mesa's software
# renderer, SDL's dummy audio driver; tests labelled pulse start a private PulseAudio, or a
# private PipeWire for those also labelled pipewire).
# Installs what the build and the tests need first. Configurations are CMakePresets.json's.
#   ./test.sh                 everything, as CI runs it (also the sanitized build)
#   ./test.sh --quick         the inner loop: unit and GL tests that wait for no clock
#   ./test.sh -L unit         extra arguments go to ctest (-R glimwick-e2e-show, ...)
# The Windows and web builds are made only when their tests can be among those selected.
set -eu
cd "$(dirname "$0")"
preset=dev
if [ "${1:-}" = --quick ]; then
    preset=quick
    shift
fi
# The show's packages and the tests' own (one list each, in scripts/packages/).
scripts/install_packages.sh -f scripts/packages/show.txt -f scripts/packages/test.txt
# The Windows and web builds are made only when their tests can be among those selected.
selects() { [ $preset = dev ] && { [ $# -eq 0 ] || [[ " $* " == *"$label"* ]]; }; }
extra=()
label=windows
if selects "$@"; then
    # Tested under Wine (label windows); the libraries it cross-builds are kept in
    # build-windows/ for the next run.
    scripts/build-windows.sh
    extra+=(-DGLIMWICK_WINDOWS_DIR="$PWD/build-windows/glimwick-windows")
fi
label=web
if selects "$@"; then
    # Tested in headless Chromium (label web); its libraries are kept in build-web/.
    scripts/build-web.sh
    extra+=(-DGLIMWICK_WEB_DIR="$PWD/build-web/glimwick-web")
fi
# Tests on explicitly (preset dev): ./run.sh configures the same folder without them.
cmake --preset dev "${extra[@]}"
cmake --build --preset dev -j"$(nproc)"
# Every gtest binary runs its tests shuffled (also set in each test's environment, so a
# bare ctest shuffles too): no test may lean on another's leftovers.
export SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 GTEST_SHUFFLE=1
if [ $preset = quick ] || [ $# -gt 0 ]; then
    exec ctest --preset $preset -j"$(nproc)" "$@"
fi

# The full run. The whole GL-checked run of the show is made once, in the sanitized build
# below, where it answers for GL errors and the sanitizers at once.
ctest --preset dev -j"$(nproc)" -E '^glimwick-long-gl-checked$'
# Then the unit and GL tests once more under the address and undefined-behaviour
# sanitizers (a Debug build) and that whole run of the GL-checked show: all of it must
# report nothing. Leaks are suppressed only for the libraries listed in
# tests/support/lsan.supp.
cmake --preset asan
cmake --build --preset asan -j"$(nproc)"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --preset asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure --no-tests=error -R glimwick-long-sanitized
