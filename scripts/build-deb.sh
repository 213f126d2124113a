#!/usr/bin/env bash
# Builds the Debian package from a release build, run from anywhere in the checkout:
#   scripts/build-deb.sh
# Leaves build-release/glimwick_VERSION_amd64.deb (install it with
# `apt-get install ./build-release/glimwick_*.deb`). Installs what it needs first: the
# show's packages, dpkg-dev (dpkg-shlibdeps works out the Depends) and file (which CPack
# uses to find the programs among the files).
set -eu
cd "$(dirname "$0")/.."
scripts/install_packages.sh cmake g++ make pkg-config libsdl2-dev libglew-dev libgl-dev \
    libglu1-mesa-dev libvorbis-dev libpulse-dev libpng-dev dpkg-dev file
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-release -j"$(nproc)"
(cd build-release && cpack -G DEB)
ls build-release/glimwick_*.deb
