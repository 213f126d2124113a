#!/usr/bin/env bash
# Builds everything and runs every test through CTest, headless (Xvfb, Mesa's software
# renderer, SDL's dummy audio driver; tests labelled pulse start a private PulseAudio).
# Installs what the build and the tests need first.
# Extra arguments go to ctest, e.g. ./test.sh -L unit, or ./test.sh -R glimwick-e2e-show.
set -eu
cd "$(dirname "$0")"
tools/install_packages.sh cmake g++ make pkg-config libsdl2-dev libglew-dev libgl-dev \
    libglu1-mesa-dev libgl1-mesa-dri libvorbis-dev libpng-dev libgtest-dev libbenchmark-dev \
    libx11-dev libfreetype-dev fonts-dejavu-core xvfb xauth xdotool x11-utils imagemagick \
    clang libclang-rt-dev pulseaudio pulseaudio-utils
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
export SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
[ $# -eq 0 ] || exit 0

# A full run also repeats the tests that decode files and own memory under the address
# and undefined-behaviour sanitizers: bad PNG and Ogg files must report nothing.
sanitized="glimwick-test-(textures|render-targets|music|vec3-mesh|lattice|layer-list)$"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DGLIMWICK_SANITIZE=ON
cmake --build build-asan -j"$(nproc)" --target glimwick-test-textures \
    glimwick-test-render-targets glimwick-test-music glimwick-test-vec3-mesh \
    glimwick-test-lattice glimwick-test-layer-list
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -R "$sanitized"
