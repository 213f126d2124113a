#!/usr/bin/env bash
# Fetches Debian source packages through apt for the dependency builds (Windows, web).
# Sourced by them; run directly, `scripts/debian-sources.sh entries [ETC]` prints the
# deb-src entries derived from ETC (default /etc), which is what the tests check.
# The fetching uses a private sources list, lists and cache under a build directory, so
# the machine's own apt configuration is neither written nor changed; the deb-src entries
# name the same mirrors, suites, components and keys as the machine's deb entries for its
# own release (a third-party repository's suites are left out).

# debian_source_entries [ETC]: deb822 deb-src stanzas for the release ETC/os-release names,
# from ETC/apt/sources.list, sources.list.d/*.list and sources.list.d/*.sources. A suite is
# the release's when it is its codename or a pocket of it (bookworm, bookworm-updates,
# bookworm-security, bookworm/updates); on testing and unstable (debian_version ends in
# "/sid") also testing, unstable and sid. Stanzas with "Enabled: no" are skipped; folded
# fields (an inline Signed-By key) are carried over whole.
debian_source_entries() {
    local etc=${1:-/etc} codename="" rolling=0
    if [ -f "$etc/os-release" ]; then
        codename=$(. "$etc/os-release" && echo "${VERSION_CODENAME:-${UBUNTU_CODENAME:-}}")
    fi
    grep -qs '/sid$' "$etc/debian_version" && rolling=1
    {
        [ -f "$etc/apt/sources.list" ] && sed 's/^/LINE /' "$etc/apt/sources.list"
        for f in "$etc"/apt/sources.list.d/*.list; do [ -f "$f" ] && sed 's/^/LINE /' "$f"; done
        for f in "$etc"/apt/sources.list.d/*.sources; do [ -f "$f" ] && cat "$f" && echo; done
        true
    } | awk -v codename="$codename" -v rolling="$rolling" '
        function release(suite,   base) {
            base = suite; sub(/[-\/].*$/, "", base)
            if (codename != "" && base == codename) return 1
            return rolling && (base == "sid" || base == "unstable" || base == "testing")
        }
        # One deb-src stanza per wanted suite list; options become fields.
        function emit(uris, suites, comps, extra,   n, s, i, kept) {
            n = split(suites, s, /[ \t]+/); kept = ""
            for (i = 1; i <= n; i++) if (s[i] != "" && release(s[i])) kept = kept (kept == "" ? "" : " ") s[i]
            if (kept == "") return
            printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n%s\n", uris, kept, comps, extra
        }
        function value(name) { return (name in field) ? field[name] : "" }
        function flush(   extra, k) {
            if (value("types") ~ /(^| )deb( |$)/ && tolower(value("enabled")) != "no") {
                extra = ""
                for (k in raw) if (k == "signed-by" || k == "trusted" || k == "check-valid-until")
                    extra = extra raw[k] "\n"
                emit(value("uris"), value("suites"), value("components"), extra)
            }
            delete field; delete raw; last = ""
        }
        /^LINE / {
            sub(/^LINE /, ""); sub(/[ \t]*#.*/, "")
            if ($1 != "deb") next
            line = $0; sub(/^deb[ \t]+/, "", line); extra = ""
            if (line ~ /^\[/) {
                n = split(substr(line, 2, index(line, "]") - 2), o, /[ \t]+/)
                for (i = 1; i <= n; i++) {
                    split(o[i], kv, "=")
                    if (kv[1] == "signed-by") extra = extra "Signed-By: " kv[2] "\n"
                    else if (kv[1] == "trusted") extra = extra "Trusted: " kv[2] "\n"
                }
                line = substr(line, index(line, "]") + 1); sub(/^[ \t]+/, "", line)
            }
            n = split(line, f, /[ \t]+/); comps = ""
            for (i = 3; i <= n; i++) comps = comps (comps == "" ? "" : " ") f[i]
            emit(f[1], f[2], comps, extra)
            next
        }
        /^#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^[ \t]/ { # a folded line continues the last field (an inline key, say)
            if (last != "") { raw[last] = raw[last] "\n" $0; line = $0; sub(/^[ \t]+/, "", line); field[last] = field[last] " " line }
            next
        }
        /^[A-Za-z-]+:/ {
            last = tolower(substr($0, 1, index($0, ":") - 1))
            raw[last] = $0
            line = substr($0, index($0, ":") + 1); gsub(/^[ \t]+|[ \t]+$/, "", line)
            field[last] = line
            next
        }
        END { flush() }'
}

# fetch_debian_sources BUILD WHO PACKAGE...: unpacks the newest source of each package
# into BUILD/sources (the release's own when a mirror lacks an update's files). WHO
# prefixes the error messages.
fetch_debian_sources() {
    local build=$1 who=$2
    shift 2
    local apt=$build/apt options
    mkdir -p "$apt/lists/partial" "$apt/sources.list.d" "$apt/cache/archives/partial" "$build/sources"
    : >"$apt/sources.list"
    debian_source_entries >"$apt/sources.list.d/deb-src.sources"
    if [ ! -s "$apt/sources.list.d/deb-src.sources" ]; then
        echo "$who: no Debian deb entry for this release in /etc/apt to derive a deb-src entry from" >&2
        return 1
    fi
    options=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/sources.list.d"
        -o "Dir::State::lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
    apt-get "${options[@]}" -qq update || return 1
    local release package
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    (
        cd "$build/sources" && rm -rf ./*
        for package in "$@"; do
            apt-get "${options[@]}" -qq source "$package" >/dev/null 2>&1 ||
                apt-get "${options[@]}" -qq source "$package/$release" >/dev/null ||
                { echo "$who: apt-get source $package failed" >&2; exit 1; }
        done
    )
}

# source_dir BUILD PACKAGE: the unpacked tree of a source package.
source_dir() {
    local dir
    dir=$(find "$1/sources" -maxdepth 1 -type d -name "$2-*" | sort | head -n 1)
    [ -n "$dir" ] || { echo "no unpacked source for $2 in $1/sources" >&2; return 1; }
    echo "$dir"
}

# cmake_install BUILD PREFIX PACKAGE [CMAKE OPTIONS...]: a static Release build of the
# package's unpacked source installed into PREFIX, built in BUILD/deps-build. The configure
# command is the array dep_configure (cmake with a toolchain file, or emcmake cmake).
cmake_install() {
    local build=$1 prefix=$2 src work
    src=$(source_dir "$build" "$3") || return 1
    shift 3
    work=$build/deps-build/$(basename "$src")
    "${dep_configure[@]}" -S "$src" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Wno-dev "$@" >"$work.log" 2>&1 ||
        { tail -n 30 "$work.log"; return 1; }
    cmake --build "$work" -j"$(nproc)" >>"$work.log" 2>&1 && cmake --install "$work" >>"$work.log" 2>&1 ||
        { tail -n 30 "$work.log"; return 1; }
}

# Finished prefixes are also kept outside the checkout, in $GLIMWICK_DEPS_CACHE (default
# ~/.cache/glimwick; "none" turns it off), so that a fresh clone on the same machine does not
# spend half an hour rebuilding the same libraries. An entry's name is a hash of everything
# the build depends on: the build scripts, the toolchain's version, the source packages'
# versions. The prefixes are relocatable (CMake's exported targets find their files
# relative to themselves), so a clone anywhere can use them.

# deps_cache_key KIND FILE... -- TEXT...: KIND-HASH over the files' contents and the texts.
deps_cache_key() {
    local kind=$1 texts=0 item
    shift
    {
        for item in "$@"; do
            if [ "$item" = -- ]; then
                texts=1
            elif [ $texts -eq 1 ]; then
                echo "$item"
            else
                cat "$item"
            fi
        done
    } | sha256sum | cut -c1-16 | sed "s/^/$kind-/"
}

deps_cache_dir() {
    local dir=${GLIMWICK_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/glimwick}
    [ "$dir" != none ] && echo "$dir"
}

# deps_from_cache PREFIX KEY: PREFIX made a copy of the cached build KEY; false when none.
deps_from_cache() {
    local cache
    cache=$(deps_cache_dir) && [ -f "$cache/$2/.complete" ] || return 1
    rm -rf "$1" && cp -a "$cache/$2" "$1"
}

# deps_to_cache PREFIX KEY: keeps a finished PREFIX as KEY (a failure only costs the cache).
deps_to_cache() {
    local cache
    cache=$(deps_cache_dir) || return 0
    mkdir -p "$cache" && rm -rf "$cache/$2.tmp" && cp -a "$1" "$cache/$2.tmp" &&
        rm -rf "${cache:?}/$2" && mv "$cache/$2.tmp" "$cache/$2" || true
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -eu
    case "${1:-}" in
    entries) debian_source_entries "${2:-/etc}" ;;
    *) echo "usage: $0 entries [ETC]" >&2; exit 2 ;;
    esac
fi
