#!/usr/bin/env bash
# The release scripts' own logic in scratch directories, in seconds: scripts/zip-folder.sh
# gives the same bytes for the same files whatever their times, permissions, creation
# order, folder and time zone, and changes when a file does; scripts/version.sh reads the
# version and names the commit off a tag only, in a checkout and in a source archive.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/support/e2e_lib.sh"
new_work_dir scratch
trap 'rm -rf "$scratch"' EXIT
export SOURCE_DATE_EPOCH=1765000000

# tree DIR ORDER UMASK STAMP: the same three files, created in the given order ("forward"
# or "backward") under the given umask, then stamped with the given time.
tree() {
    local names=(b/z.txt a.txt b/a.bin)
    [ "$2" = backward ] && names=(b/a.bin a.txt b/z.txt)
    mkdir -p "$1/pkg/b"
    (
        umask "$3"
        for name in "${names[@]}"; do echo "content of $name" >"$1/pkg/$name"; done
    )
    find "$1/pkg" -exec touch -d "$4" {} +
}
tree "$scratch/one" forward 022 "2001-02-03 04:05"
tree "$scratch/second/deeper" backward 077 "2030-06-07 08:09"
"$root/scripts/zip-folder.sh" "$scratch/one" pkg
TZ=Pacific/Kiritimati "$root/scripts/zip-folder.sh" "$scratch/second/deeper" pkg
one=$scratch/one/pkg.zip
cmp -s "$one" "$scratch/second/deeper/pkg.zip" &&
    pass "same files, other times, umask, order, folder and zone: same bytes" ||
    fail "the two zips differ: $(cmp "$one" "$scratch/second/deeper/pkg.zip")"
listing=$(unzip -Z1 "$one" | tr '\n' ' ')
[ "$listing" = "pkg/a.txt pkg/b/a.bin pkg/b/z.txt " ] &&
    pass "files only, in byte order: $listing" || fail "listing: $listing"
# The stored time is SOURCE_DATE_EPOCH in UTC (2025-12-06 05:46:40, to zip's 2 s).
when=$(unzip -Z -T "$one" pkg/a.txt | awk '{print $7}')
[ "$when" = 20251206.054640 ] && pass "stored time $when" || fail "stored time $when"
modes=$(unzip -Z "$one" | awk '/^-/ {print $1}' | sort -u | tr '\n' ' ')
[ "$modes" = "-rw-r--r-- " ] && pass "modes $modes" || fail "modes $modes"
echo changed >"$scratch/one/pkg/a.txt"
"$root/scripts/zip-folder.sh" "$scratch/one" pkg
cmp -s "$one" "$scratch/second/deeper/pkg.zip" && fail "a changed file left the zip as it was" ||
    pass "a changed file changes the zip"
# Without SOURCE_DATE_EPOCH and without git (a source archive on a machine that never
# installed it): the time of the tree's CMakeLists.txt, which git archive sets.
mkdir -p "$scratch/archive/scripts" "$scratch/nogit"
cp "$root/scripts/zip-folder.sh" "$scratch/archive/scripts/"
touch -d "2024-05-06 07:08:10 UTC" "$scratch/archive/CMakeLists.txt"
printf '#!/bin/sh\nexit 127\n' >"$scratch/nogit/git" && chmod +x "$scratch/nogit/git"
if env -u SOURCE_DATE_EPOCH PATH="$scratch/nogit:$PATH" \
    "$scratch/archive/scripts/zip-folder.sh" "$scratch/one" pkg 2>"$scratch/err"; then
    when=$(unzip -Z -T "$one" pkg/a.txt | awk '{print $7}')
    [ "$when" = 20240506.070810 ] && pass "no git: the tree's time $when" ||
        fail "no git: stored time $when"
else
    fail "no git: zip-folder.sh failed: $(cat "$scratch/err")"
fi

# scripts/version.sh in a scratch repository holding a copy of the scripts.
repo=$scratch/repo
mkdir -p "$repo/scripts"
cp "$root/scripts/version.sh" "$repo/scripts/"
printf 'project(glimwick VERSION 2.3.4 LANGUAGES C CXX)\n' >"$repo/CMakeLists.txt"
git -C "$repo" init -q && git -C "$repo" add -A &&
    git -C "$repo" -c user.name=t -c user.email=t@t commit -qm one
short=$(git -C "$repo" rev-parse --short=7 HEAD)
got=$("$repo/scripts/version.sh")
[ "$got" = "2.3.4+g$short" ] && pass "untagged: $got" || fail "untagged: $got"
git -C "$repo" tag v2.3.4
got=$("$repo/scripts/version.sh")
[ "$got" = 2.3.4 ] && pass "tagged: $got" || fail "tagged: $got"
# A source archive names the commit it was made from, unless that commit is tagged.
cp "$root/.gitattributes" "$repo/" && git -C "$repo" add -A &&
    git -C "$repo" -c user.name=t -c user.email=t@t commit -qm two
short=$(git -C "$repo" rev-parse --short=7 HEAD)
git -C "$repo" archive --prefix=untagged/ HEAD | tar -x -C "$scratch"
git -C "$repo" archive --prefix=tagged/ v2.3.4 | tar -x -C "$scratch"
git -C "$scratch" init -q # unpacked inside someone else's repository
got=$("$scratch/untagged/scripts/version.sh")
[ "$got" = "2.3.4+g$short" ] && pass "archive, untagged: $got" || fail "archive, untagged: $got"
got=$("$scratch/tagged/scripts/version.sh")
[ "$got" = 2.3.4 ] && pass "archive, tagged: $got" || fail "archive, tagged: $got"
rm -rf "$repo/.git"
got=$("$repo/scripts/version.sh")
[ "$got" = 2.3.4 ] && pass "neither checkout nor archive: $got" ||
    fail "neither checkout nor archive: $got"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
