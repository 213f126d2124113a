#!/usr/bin/env bash
# Prints the release label of the tree it lies in: the version of CMakeLists.txt's
# project(), the one place it is written, followed by "+gSHORT" (the commit) unless a tag
# points at HEAD; in a source archive from git archive, the archived commit likewise; in
# any other tree without its own repository, the version alone.
#   scripts/version.sh            1.0.0+gef76d25, or 1.0.0 on a tagged commit
#   scripts/version.sh --plain    1.0.0
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(glimwick VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
if [ -z "$version" ]; then
    echo "version: no project(glimwick VERSION ...) in $root/CMakeLists.txt" >&2
    exit 1
fi
# In a source archive, git archive has written the commit and its description by tags here
# (the file is export-subst in .gitattributes): "SHORT v1.0.0" on a tag, "SHORT
# v1.0.0-3-gSHORT" past one, "SHORT " with no tag at all. Branch names stay out, so that
# two clones of one commit archive the same bytes.
archived='$Format:%h %(describe:tags)$'
described=${archived#* }
if [ "${1:-}" = --plain ]; then
    :
# The checkout's own repository only: an archive unpacked inside another is no checkout.
elif [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
    [ -n "$(git -C "$root" tag --points-at HEAD)" ] ||
        version+="+g$(git -C "$root" rev-parse --short=7 HEAD)"
elif [[ $archived != *Format:* ]] &&
    [[ -z $described || $described =~ -[0-9]+-g[0-9a-f]+$ ]]; then
    version+="+g${archived%% *}"
fi
echo "$version"
