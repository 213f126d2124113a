#!/usr/bin/env bash
# The skeleton the dependency builds share (scripts/windows-deps.sh, scripts/web-deps.sh):
# a kept prefix, the Debian sources fetched, the cache of finished builds, the stamp. Sourced.
# A caller calls deps_prepare, sets dep_cc, dep_ar and dep_configure (the compiler, the
# archiver and the CMake configure command of its toolchain, as arrays), defines
# build_libraries and calls deps_build.
. "$(dirname "${BASH_SOURCE[0]}")/debian-sources.sh"

# deps_prepare WHO BUILD_DIR: sets who (the messages' prefix), build (absolute) and prefix
# (BUILD_DIR/deps); a prefix stamped as finished is kept as it is and the script ends here.
deps_prepare() {
    who=$1
    build=$(mkdir -p "$2" && cd "$2" && pwd)
    prefix=$build/deps
    if [ -f "$prefix/.complete" ]; then
        echo "$who: already built in $prefix ($(tr '\n' ' ' <"$prefix/.complete"))"
        exit 0
    fi
}

# deps_build KIND TOOLCHAIN_VERSION PACKAGE... [-- KEY_FILE...]: fetches the packages'
# Debian sources, takes the prefix from the cache when the same build is kept there, or
# else runs build_libraries into a fresh prefix, stamps it with the source versions and
# keeps it in the cache. The key covers the calling script, this library, the source
# fetching, the KEY_FILEs, the toolchain's version and the sources' versions.
deps_build() {
    local kind=$1 toolchain=$2 packages=() files=() versions=() p key start
    shift 2
    while [ $# -gt 0 ] && [ "$1" != -- ]; do packages+=("$1") && shift; done
    [ $# -eq 0 ] || files=("${@:2}")
    start=$(date +%s)
    echo "$who: fetching ${packages[*]} (deb-src)"
    fetch_debian_sources "$build" "$(basename "$0" .sh)" "${packages[@]}"
    for p in "${packages[@]}"; do versions+=("$(basename "$(source_dir "$build" "$p")")"); done
    key=$(deps_cache_key "$kind" "$0" "${BASH_SOURCE[0]}" \
        "$(dirname "${BASH_SOURCE[0]}")/debian-sources.sh" "${files[@]}" -- "$toolchain" "${versions[@]}")
    if deps_from_cache "$prefix" "$key"; then
        echo "$who: the same build taken from $(deps_cache_dir)/$key"
        return 0
    fi
    rm -rf "$prefix" "$build/deps-build"
    mkdir -p "$prefix" "$build/deps-build"
    echo "$who: building into $prefix"
    build_libraries
    printf '%s\n' "${versions[@]}" >"$prefix/.complete"
    deps_to_cache "$prefix" "$key"
    echo "$who: built in $(($(date +%s) - start)) s"
}

# static_library NAME DIR [FLAG...] -- FILE...: DIR/FILE.c compiled with dep_cc into
# PREFIX/lib/libNAME.a. Each FLAG stays one argument, whatever spaces a path in it holds.
static_library() {
    local name=$1 dir=$2 flags=() file work=$build/deps-build/$1
    shift 2
    while [ "$1" != -- ]; do flags+=("$1") && shift; done
    shift
    mkdir -p "$work" "$prefix/lib"
    for file in "$@"; do
        "${dep_cc[@]}" -O2 "${flags[@]}" -c "$dir/$file.c" -o "$work/$(basename "$file").o"
    done
    "${dep_ar[@]}" rcs "$prefix/lib/lib$name.a" "$work"/*.o
}

# build_zlib [FLAG...]: zlib's library sources compiled directly, with its two headers
# (Debian's tarball drops the Windows build files and builds the shared library and the
# examples by default, none of which these builds want).
build_zlib() {
    local src
    src=$(source_dir "$build" zlib)
    static_library z "$src" "$@" -- adler32 compress crc32 deflate gzclose gzlib gzread \
        gzwrite infback inffast inflate inftrees trees uncompr zutil
    install -d "$prefix/include"
    install -m 644 -t "$prefix/include" "$src/zlib.h" "$src/zconf.h"
}
