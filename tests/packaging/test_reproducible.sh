#!/usr/bin/env bash
# One commit, two releases: scripts/release.sh run in two fresh clones at different paths,
# one after the other, must give the same bytes for the source archive, the Debian package
# and the web zip, so that anyone may rebuild a release and check it against its
# SHA256SUMS. A difference is shown through diffoscope when it is installed. Also: a clone
# with a stray file is refused, leaving no dist/. The Windows zip takes the same path
# (scripts/zip-folder.sh) but its build is left to scripts/release.sh's own runs.
# Args: SOURCE_DIR (its committed HEAD is what is built)
set -u
source=$(readlink -f "$1")
. "$source/tests/support/e2e_lib.sh"
new_work_dir work
trap 'rm -rf "$work"' EXIT
commit=$(git -C "$source" rev-parse HEAD)

clone() { # clone DIR: a checkout of the commit, detached as a release build would find it
    git clone -q --no-checkout "$source" "$1" && git -C "$1" checkout -q --detach "$commit"
}

# A stray file: refused before anything is built.
clone "$work/stray"
touch "$work/stray/notes.txt"
if (cd "$work/stray" && scripts/release.sh source >"$work/stray.log" 2>&1); then
    fail "a release from a tree with an untracked file was made"
elif [ -e "$work/stray/dist" ]; then
    fail "refused, but dist/ was made"
else
    pass "a tree with an untracked file is refused: $(tail -n 1 "$work/stray.log")"
fi

# Two releases, in folders of different names and depths.
dirs=("$work/one/glimwick" "$work/second/build-here/gw")
for dir in "${dirs[@]}"; do
    clone "$dir" || { fail "clone into $dir"; exit 1; }
    if ! (cd "$dir" && scripts/release.sh source deb web >"$dir.log" 2>&1); then
        fail "release in $dir: $(tail -n 5 "$dir.log")"
        exit 1
    fi
done
a=${dirs[0]}/dist b=${dirs[1]}/dist
label=$(cd "${dirs[0]}" && scripts/version.sh)
for file in "glimwick-$label.tar.gz" "glimwick_${label}_amd64.deb" "glimwick-$label-web.zip"; do
    if [ ! -f "$a/$file" ]; then
        fail "no $file among: $(ls "$a")"
    elif cmp -s "$a/$file" "$b/$file"; then
        pass "$file: the same $(stat -c %s "$a/$file") bytes twice"
    else
        fail "$file differs between the two builds"
        command -v diffoscope >/dev/null && diffoscope "$a/$file" "$b/$file" | head -n 40
    fi
done
# The sums name exactly those files and hold for them.
(cd "$a" && sha256sum --quiet -c SHA256SUMS) && [ "$(wc -l <"$a/SHA256SUMS")" = 3 ] &&
    pass "SHA256SUMS holds for the 3 artefacts" || fail "SHA256SUMS: $(cat "$a/SHA256SUMS")"
cmp -s "$a/SHA256SUMS" "$b/SHA256SUMS" && pass "the two SHA256SUMS agree" ||
    fail "the two SHA256SUMS differ"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
