#!/usr/bin/env bash
# Builds everything and runs every test through CTest, headless (Xvfb, Mesa's software
# renderer, SDL's dummy audio driver; tests labelled pulse start a private PulseAudio, or a
# private PipeWire for those also labelled pipewire).
# Installs what the build and the tests need first. Configurations are CMakePresets.json's.
#   ./test.sh                 everything, as CI runs it (also the sanitized build)
#   ./test.sh --quick         the inner loop: unit and GL tests that wait for no clock
#   ./test.sh -L unit         extra arguments go to ctest (-R glimwick-e2e-show, ...)
# The Windows and web builds are made only when ctest would run some of their tests.
set -eu
cd "$(dirname "$0")"
preset=dev
if [ "${1:-}" = --quick ]; then
    preset=quick
    shift
fi
# The show's packages and the tests' own (one list each, in scripts/packages/).
scripts/install_packages.sh -f scripts/packages/show.txt -f scripts/packages/test.txt
# The Windows and web builds are made exactly when ctest would run some of their tests, and
# the tests of a build not made now are left unregistered, so that none runs against an old
# build: build/ is configured with both registered, ctest lists what the arguments select,
# and the folders of the builds not made are then set empty.
windows_dir=$PWD/build-windows/glimwick-windows
web_dir=$PWD/build-web/glimwick-web
# Tests on explicitly (preset dev): ./run.sh configures the same folder without them.
configure() { cmake --preset dev -DGLIMWICK_WINDOWS_DIR="$windows_dir" -DGLIMWICK_WEB_DIR="$web_dir"; }
configure >/dev/null
selected=$(ctest --preset $preset -N "$@" 2>&1 || true)
if [[ $selected == *": glimwick-windows-"* ]]; then
    # Tested under Wine (label windows); the libraries it cross-builds are kept in
    # build-windows/ for the next run.
    scripts/build-windows.sh
else
    windows_dir=""
fi
if [[ $selected == *": glimwick-web-"* ]]; then
    # Tested in headless Chromium (label web); its libraries are kept in build-web/.
    scripts/build-web.sh
else
    web_dir=""
fi
configure
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
