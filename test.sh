#!/usr/bin/env bash
# Builds everything and runs every test through CTest, headless (Xvfb, Mesa's software
# renderer, SDL's dummy audio driver; tests labelled pulse start a private PulseAudio, or a
# private PipeWire for those also labelled pipewire).
# Installs what the build and the tests need first.
# Extra arguments go to ctest, e.g. ./test.sh -L unit, or ./test.sh -R glimwick-e2e-show.
set -eu
cd "$(dirname "$0")"
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
    wine wine64 # the Windows build's tests (scripts/build-windows.sh installs the compilers)
    weston # the show as a Wayland client
)
scripts/install_packages.sh "${packages[@]}"
# The Windows build, tested under Wine (label windows); the libraries it cross-builds are
# kept in build-windows/ for the next run.
scripts/build-windows.sh
# Tests on explicitly: ./run.sh configures the same folder without them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
    -DGLIMWICK_WINDOWS_DIR="$PWD/build-windows/glimwick-windows"
cmake --build build -j"$(nproc)"
# Every gtest binary runs its tests shuffled (also set in each test's environment, so a
# bare ctest shuffles too): no test may lean on another's leftovers.
export SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 GTEST_SHUFFLE=1
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)" "$@"
[ $# -eq 0 ] || exit 0

# A full run also repeats the unit and GL tests under the address and undefined-behaviour
# sanitizers, then one whole sanitized run of the show (a Debug build, so it also reports
# every GL error): all of it must report nothing. Leaks are suppressed only for the
# libraries listed in tests/support/lsan.supp.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DGLIMWICK_SANITIZE=ON -DBUILD_TESTING=ON
cmake --build build-asan -j"$(nproc)"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$(nproc)" \
    -L '^(unit|gl)$' -LE pulse -E fuzz
ctest --test-dir build-asan --output-on-failure --no-tests=error -R glimwick-long-sanitized
