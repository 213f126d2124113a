#!/usr/bin/env bash
# Builds and runs the show from the repository root (installs what it needs first).
set -eu
cd "$(dirname "$0")"
# xfonts-base: the X core fonts the start-up question's box is drawn with.
scripts/install_packages.sh cmake g++ make pkg-config libsdl2-dev libglew-dev libgl-dev \
    libglu1-mesa-dev libgl1-mesa-dri libvorbis-dev libpulse-dev libpng-dev xfonts-base
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build build --target glimwick -j"$(nproc)"
exec build/glimwick
