#!/usr/bin/env bash
# Makes the shareable artefacts of the checked-out commit into dist/, from a clean checkout:
#   scripts/release.sh                    all of them
#   scripts/release.sh source deb web     only those named (source deb windows web video)
# Each is named by the release label L (scripts/version.sh: 1.0.0 on a tagged commit,
# 1.0.0+gSHORT on any other):
#   glimwick-L.tar.gz          the source archive (git archive of the commit)
#   glimwick_L_amd64.deb       the Debian package (scripts/build-deb.sh)
#   glimwick-L-windows.zip     the Windows folder (scripts/build-windows.sh)
#   glimwick-L-web.zip         the browser's folder (scripts/build-web.sh)
#   glimwick-L-1080p.mp4       the whole show captured at 1920x1080, 60 fps, with its music
#   SHA256SUMS                 over every artefact in dist/ (check with sha256sum -c)
# An artefact already in dist/ is kept (its name holds the commit, and the tree is clean),
# so an interrupted run resumes and the video may be made by a run of its own. The Windows
# and web libraries come from the dependency cache (~/.cache/glimwick) when built before.
# Reproducible: with SOURCE_DATE_EPOCH the commit's time, the same commit gives the same
# bytes for all but the video in any folder, on any day (tests/packaging/test_reproducible.sh).
set -eu
cd "$(dirname "$0")/.."
all=(source deb windows web video)
wanted=("$@")
[ $# -gt 0 ] || wanted=("${all[@]}")
for name in "${wanted[@]}"; do
    if [[ " ${all[*]} " != *" $name "* ]]; then
        echo "release: no artefact '$name' (choose from: ${all[*]})" >&2
        exit 2
    fi
done
wants() { [[ " ${wanted[*]} " == *" $1 "* ]]; }
# Everything built comes from the commit alone: no changed or untracked file.
if ! git rev-parse --git-dir >/dev/null 2>&1; then
    echo "release: not a git checkout (the artefacts are made from a commit)" >&2
    exit 1
fi
if [ -n "$(git status --porcelain)" ]; then
    echo "release: the tree has changes; commit or stash them first:" \
        "$(git status --porcelain | head -n 3 | tr '\n' ' ')" >&2
    exit 1
fi
label=$(scripts/version.sh)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
mkdir -p dist
start=$(date +%s)

# step NAME FILE COMMAND...: makes dist/FILE with COMMAND unless it is there already.
step() {
    local name=$1 file=dist/$2
    shift 2
    wants "$name" || return 0
    if [ -f "$file" ]; then
        echo "release: $file is there already"
        return 0
    fi
    echo "release: making $file"
    local t=$(date +%s)
    "$@" "$file.part"
    mv "$file.part" "$file"
    echo "release: $file, $(stat -c %s "$file") bytes, $(($(date +%s) - t)) s"
}
make_source() { git archive --format=tar.gz --prefix="glimwick-$label/" -o "$1" HEAD; }
make_deb() { scripts/build-deb.sh >&2 && cp build-release/glimwick_"${label}"_amd64.deb "$1"; }
make_windows() { scripts/build-windows.sh >&2 && cp build-windows/glimwick-windows.zip "$1"; }
make_web() { scripts/build-web.sh >&2 && cp build-web/glimwick-web.zip "$1"; }
make_video() {
    [ -x build-release/glimwick-capture ] || scripts/build-deb.sh >&2
    # The encoder picks its container from the name's extension.
    build-release/glimwick-capture --size 1920x1080 --out "$1.mp4" && mv "$1.mp4" "$1"
}
step source "glimwick-$label.tar.gz" make_source
step deb "glimwick_${label}_amd64.deb" make_deb
step windows "glimwick-$label-windows.zip" make_windows
step web "glimwick-$label-web.zip" make_web
step video "glimwick-$label-1080p.mp4" make_video

# The sums of every artefact of this release in dist/, in byte order of the names.
(cd dist && find . -maxdepth 1 -type f -name "glimwick*$label*" ! -name '*.part*' -printf '%f\n' |
    LC_ALL=C sort | xargs -r sha256sum >SHA256SUMS)
echo "release: dist/ for $label in $(($(date +%s) - start)) s:"
(cd dist && ls -l --time-style=+ SHA256SUMS $(cut -d' ' -f3 SHA256SUMS) | awk '{print "  " $5 "  " $6}')
