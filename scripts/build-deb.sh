#!/usr/bin/env bash
# Builds the Debian package from a release build, run from anywhere in the checkout:
#   scripts/build-deb.sh
# Leaves build-release/glimwick_VERSION_amd64.deb (install it with
# `apt-get install ./build-release/glimwick_*.deb`). Installs what it needs first: the
# show's packages, dpkg-dev (dpkg-shlibdeps works out the Depends) and file (which CPack
# uses to find the programs among the files).
set -eu
cd "$(dirname "$0")/.."
scripts/install_packages.sh -f scripts/packages/show.txt dpkg-dev file
# Preset release (CMakePresets.json): build-release/, no tests.
cmake --preset release
cmake --build --preset release -j"$(nproc)"
(cd build-release && cpack -G DEB)
ls build-release/glimwick_*.deb
