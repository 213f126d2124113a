#!/usr/bin/env bash
# Builds everything and runs every test through CTest, headless (Xvfb, Mesa's software
# renderer, SDL's dummy audio driver). Installs what the build and the tests need first.
# Extra arguments go to ctest, e.g. ./test.sh -L unit, or ./test.sh -R glimwick-e2e-show.
set -eu
cd "$(dirname "$0")"
tools/install_packages.sh cmake g++ make pkg-config libsdl2-dev libglew-dev libgl-dev \
    libglu1-mesa-dev libgl1-mesa-dri libvorbis-dev libpng-dev libgtest-dev libbenchmark-dev \
    libx11-dev libfreetype-dev fonts-dejavu-core xvfb xauth xdotool x11-utils imagemagick
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
export SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
