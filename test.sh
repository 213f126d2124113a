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
# One line a need, so that additions do not collide.
packages=(
    cmake g++ make pkg-config
    libsdl2-dev libglew-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libvorbis-dev libpulse-dev libpng-dev
    libgtest-dev libbenchmark-dev
    libfreetype-dev fonts-dejavu-core # the text-panel generator and its tests
    libx11-dev xvfb xauth xdotool x11-utils imagemagick # the GL and end-to-end tests
    xfonts-base # the X core fonts the start-up question's box is drawn with
    clang libclang-rt-dev # the fuzz targets
    pulseaudio pulseaudio-utils # the music clock on a real sound server
    pipewire pipewire-pulse wireplumber dbus # the same on PipeWire's PulseAudio service
    ffmpeg # the capture tool's videos and its tests
    dpkg-dev file lintian # the Debian package and its test
    appstream # appstreamcli, the AppStream metadata's validator
    faketime # the end-scene signal test's fast clock
    wine wine64 # the Windows build's tests (scripts/build-windows.sh installs the compilers)
    weston # the show as a Wayland client
    chromium nodejs # the web build's tests (scripts/build-web.sh installs emscripten)
)
scripts/install_packages.sh "${packages[@]}"
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
