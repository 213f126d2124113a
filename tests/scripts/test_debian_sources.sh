#!/usr/bin/env bash
# The deb-src entries the dependency builds derive from a machine's apt sources, for
# Debian 12, 13, testing and unstable and Ubuntu 24.04 sources files written to a scratch
# /etc: the release's suites only, "Enabled: no" skipped, a folded Signed-By kept whole,
# and apt itself accepting what comes out.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/../support/e2e_lib.sh"
new_work_dir scratch
trap 'rm -rf "$scratch"' EXIT
failures=0
passes=0
check() { # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        echo "--- output:"
        cat "$out"
        failures=$((failures + 1))
    fi
}
has() { grep -qxF "$1" "$out"; }
lacks() { ! grep -qF "$1" "$out"; }
fails() { ! "$@"; }

# machine NAME CODENAME DEBIAN_VERSION: a fresh scratch /etc; the files are added after.
machine() {
    etc=$scratch/$1/etc
    mkdir -p "$etc/apt/sources.list.d"
    printf 'ID=debian\nVERSION_CODENAME=%s\n' "$2" >"$etc/os-release"
    [ -z "$3" ] || echo "$3" >"$etc/debian_version"
    out=$scratch/$1/entries
}
derive() { bash "$root/scripts/debian-sources.sh" entries "$etc" >"$out" 2>&1; }

# apt_accepts: apt reads the derived entries as deb-src sources without complaint.
apt_accepts() {
    local apt=$scratch/apt-check
    rm -rf "$apt" && mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache"
    cp "$out" "$apt/parts/derived.sources"
    : >"$apt/sources.list"
    apt-get -o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts="$apt/parts" \
        -o Dir::State::lists="$apt/lists" -o Dir::Cache="$apt/cache" \
        indextargets --no-release-info --format '$(TARGET_OF) $(SITE)' >"$apt/targets" 2>&1 &&
        grep -q "^deb-src " "$apt/targets" && ! grep -qi "^E:\|^W:" "$apt/targets"
}

# Debian 12, one-line and deb822 sources, with a third-party repository beside them.
machine bookworm bookworm 12.5
cat >"$etc/apt/sources.list" <<'S'
deb http://ftp.de.debian.org/debian bookworm main contrib # with a comment
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
# deb http://deb.debian.org/debian bookworm-backports main
S
cat >"$etc/apt/sources.list.d/vendor.sources" <<'S'
Types: deb
URIs: https://vendor.example/apt
Suites: nodistro
Components: main
S
cat >"$etc/apt/sources.list.d/debian.sources" <<'S'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
S
derive
check "bookworm: one-line entry" has "Suites: bookworm"
check "bookworm: signed-by option becomes a field" \
    grep -q "^Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "$out"
check "bookworm: deb822 suites kept together" has "Suites: bookworm bookworm-updates"
check "bookworm: security" has "Suites: bookworm-security"
check "bookworm: no third-party suite" lacks nodistro
check "bookworm: no commented-out entry" lacks backports
check "bookworm: the comment is not a component" has "Components: main contrib"
check "bookworm: apt reads the entries" apt_accepts

# Debian 13 (trixie), deb822 with an inline key folded over several lines and a
# disabled stanza.
machine trixie trixie 13.0
cat >"$etc/apt/sources.list.d/debian.sources" <<'S'
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie trixie-updates
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZTESTKEYFORTHESCRATCHDIRECTORYONLY
 =abcd
 -----END PGP PUBLIC KEY BLOCK-----

# off for now
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie-backports
Components: main
Enabled: no

Types: deb deb-src
URIs: http://deb.debian.org/debian-security
Suites: trixie-security
Components: main
S
derive
check "trixie: release and updates" has "Suites: trixie trixie-updates"
check "trixie: folded key carried whole" grep -q "^ mDMEZTESTKEYFORTHESCRATCHDIRECTORYONLY$" "$out"
check "trixie: key block ends" grep -q "^ -----END PGP PUBLIC KEY BLOCK-----$" "$out"
check "trixie: Enabled: no skipped" lacks backports
check "trixie: security" has "Suites: trixie-security"
check "trixie: two stanzas" [ "$(grep -c '^Types: deb-src$' "$out")" -eq 2 ]
check "trixie: apt reads the entries" apt_accepts

# Debian unstable: the sources say sid, os-release names the next release's codename.
machine sid forky forky/sid
cat >"$etc/apt/sources.list.d/debian.sources" <<'S'
Types: deb
URIs: http://deb.debian.org/debian
Suites: sid
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
S
echo "deb http://deb.debian.org/debian experimental main" >"$etc/apt/sources.list"
derive
check "unstable: sid" has "Suites: sid"
check "unstable: not experimental" lacks experimental
check "unstable: apt reads the entries" apt_accepts

# Debian testing named by its alias.
machine testing trixie trixie/sid
echo "deb http://deb.debian.org/debian testing main" >"$etc/apt/sources.list"
derive
check "testing: the alias" has "Suites: testing"

# Ubuntu 24.04: its deb822 file lists several suites and URIs per stanza.
machine noble noble ""
sed -i 's/^ID=debian/ID=ubuntu/' "$etc/os-release"
cat >"$etc/apt/sources.list.d/ubuntu.sources" <<'S'
Types: deb
URIs: http://archive.ubuntu.com/ubuntu/
Suites: noble noble-updates noble-backports
Components: main restricted universe multiverse
Signed-By: /usr/share/keyrings/ubuntu-archive-keyring.gpg

Types: deb
URIs: http://security.ubuntu.com/ubuntu/
Suites: noble-security
Components: main restricted universe multiverse
Signed-By: /usr/share/keyrings/ubuntu-archive-keyring.gpg
S
derive
check "noble: all three suites" has "Suites: noble noble-updates noble-backports"
check "noble: security" has "Suites: noble-security"
check "noble: components" has "Components: main restricted universe multiverse"
check "noble: apt reads the entries" apt_accepts

# A machine with nothing of its release: nothing derived.
machine other bookworm 12.5
echo "deb https://vendor.example/apt stable main" >"$etc/apt/sources.list"
derive
check "other: nothing derived" [ ! -s "$out" ]

# The cache of finished dependency builds: a key follows every input; a kept prefix comes
# back whole; "none" keeps nothing.
(
    . "$root/scripts/debian-sources.sh"
    export GLIMWICK_DEPS_CACHE=$scratch/cache
    out=$scratch/cache-out
    echo one >"$scratch/script"
    a=$(deps_cache_key web "$scratch/script" -- emcc-3.1.6 zlib-1.2.13)
    b=$(deps_cache_key web "$scratch/script" -- emcc-3.1.6 zlib-1.2.14)
    echo two >"$scratch/script"
    c=$(deps_cache_key web "$scratch/script" -- emcc-3.1.6 zlib-1.2.13)
    echo "$a $b $c" >"$out"
    check "cache: a key names its kind" [ "${a%%-*}" = web ]
    check "cache: a source version changes the key" [ "$a" != "$b" ]
    check "cache: a script's content changes the key" [ "$a" != "$c" ]
    mkdir -p "$scratch/prefix/lib" && echo library >"$scratch/prefix/lib/libz.a"
    check "cache: no entry yet" fails deps_from_cache "$scratch/restored" "$a"
    touch "$scratch/prefix/.complete"
    deps_to_cache "$scratch/prefix" "$a"
    check "cache: the kept prefix comes back" deps_from_cache "$scratch/restored" "$a"
    check "cache: with its files" grep -qx library "$scratch/restored/lib/libz.a"
    GLIMWICK_DEPS_CACHE=none
    check "cache: none keeps nothing" fails deps_from_cache "$scratch/restored" "$a"
    echo "$passes $failures" >"$scratch/counts"
)
read -r passes failures <"$scratch/counts"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
