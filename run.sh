#!/usr/bin/env bash
# Builds and runs the show from the repository root (installs what it needs first).
set -eu
cd "$(dirname "$0")"
scripts/install_packages.sh -f scripts/packages/show.txt
# Preset show (CMakePresets.json): build/ as ./test.sh uses it, without the tests.
cmake --preset show >/dev/null
cmake --build --preset show -j"$(nproc)"
exec build/glimwick
