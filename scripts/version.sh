#!/usr/bin/env bash
# Prints the release label of the checkout it lies in: the version of CMakeLists.txt's
# project(), the one place it is written, followed by "+gSHORT" (the commit) unless a tag
# points at HEAD; outside a git checkout (an unpacked source archive) the version alone.
#   scripts/version.sh            1.0.0+gef76d25, or 1.0.0 on a tagged commit
#   scripts/version.sh --plain    1.0.0
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(glimwick VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
if [ -z "$version" ]; then
    echo "version: no project(glimwick VERSION ...) in $root/CMakeLists.txt" >&2
    exit 1
fi
# The checkout's own repository only: an archive unpacked inside another is no checkout.
if [ "${1:-}" != --plain ] &&
    [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$root" ] &&
    [ -z "$(git -C "$root" tag --points-at HEAD)" ]; then
    version+="+g$(git -C "$root" rev-parse --short=7 HEAD)"
fi
echo "$version"
