#!/usr/bin/env bash
# Builds the show's libraries for the web (WebAssembly, with Debian's emscripten) from
# Debian's own source packages into a static prefix, without emscripten's ports (which
# download). Usage: scripts/web-deps.sh BUILD_DIR (prefix: BUILD_DIR/deps).
# A prefix that holds a finished build is kept as it is: delete BUILD_DIR/deps to redo it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/debian-sources.sh"
build=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$build/deps
stamp=$prefix/.complete
packages=(zlib libogg libvorbis libpng1.6 libsdl2)
if [ -f "$stamp" ]; then
    echo "Web libraries: already built in $prefix ($(tr '\n' ' ' <"$stamp"))"
    exit 0
fi
# Debian's emscripten runs its JavaScript tools with Debian's node modules (acorn).
export NODE_PATH=/usr/share/nodejs
# Search only the prefix for the libraries built before (emscripten's toolchain file
# confines find_package to its sysroot and CMAKE_FIND_ROOT_PATH).
dep_configure=(emcmake cmake -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix")

# static_library NAME DIR FLAGS FILE...: DIR/FILE.c compiled with emcc into lib/libNAME.a.
# The small libraries are built this way: their CMake probes (type sizes read back from a
# test program) cannot see into a WebAssembly binary, and the compile is all they need.
static_library() {
    local name=$1 dir=$2 flags=$3 file work=$build/deps-build/$1
    shift 3
    mkdir -p "$work" "$prefix/lib"
    for file in "$@"; do
        # shellcheck disable=SC2086 # flags are several words
        emcc -O2 $flags -c "$dir/$file.c" -o "$work/$(basename "$file").o"
    done
    emar rcs "$prefix/lib/lib$name.a" "$work"/*.o
}

# zlib, with the headers its configure would find (Debian's tarball builds the shared
# library and the examples by default, neither of which the web wants).
build_zlib() {
    local src
    src=$(source_dir "$build" zlib)
    static_library z "$src" "-DHAVE_UNISTD_H -DHAVE_STDARG_H" adler32 compress crc32 deflate \
        gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil
    install -d "$prefix/include"
    install -m 644 -t "$prefix/include" "$src/zlib.h" "$src/zconf.h"
}

# libogg, with the type header its configure writes filled in for wasm32.
build_ogg() {
    local src
    src=$(source_dir "$build" libogg)
    install -d "$prefix/include/ogg"
    sed -e 's/@INCLUDE_INTTYPES_H@/0/; s/@INCLUDE_STDINT_H@/1/; s/@INCLUDE_SYS_TYPES_H@/0/' \
        -e 's/@SIZE16@/int16_t/; s/@USIZE16@/uint16_t/; s/@SIZE32@/int32_t/' \
        -e 's/@USIZE32@/uint32_t/; s/@SIZE64@/int64_t/; s/@USIZE64@/uint64_t/' \
        "$src/include/ogg/config_types.h.in" >"$prefix/include/ogg/config_types.h"
    install -m 644 -t "$prefix/include/ogg" "$src/include/ogg/ogg.h" "$src/include/ogg/os_types.h"
    static_library ogg "$src/src" "-I$prefix/include" bitwise framing
}

# libvorbis: the decoder and vorbisfile (the web build only plays).
build_vorbis() {
    local src
    src=$(source_dir "$build" libvorbis)
    install -d "$prefix/include/vorbis"
    install -m 644 -t "$prefix/include/vorbis" "$src/include/vorbis/codec.h" \
        "$src/include/vorbis/vorbisfile.h"
    static_library vorbis "$src/lib" "-I$prefix/include -I$src/include -I$src/lib" mdct smallft \
        block envelope window lsp lpc analysis synthesis psy info floor1 floor0 res0 mapping0 \
        registry codebook sharedbook lookup bitrate
    static_library vorbisfile "$src/lib" "-I$prefix/include -I$src/include" vorbisfile
}

start=$(date +%s)
echo "Web libraries: fetching ${packages[*]} (deb-src)"
fetch_debian_sources "$build" web-deps "${packages[@]}"
versions=()
for p in "${packages[@]}"; do versions+=("$(basename "$(source_dir "$build" "$p")")"); done
key=$(deps_cache_key web "$0" "$root/scripts/debian-sources.sh" -- "$(emcc --version | head -n 1)" "${versions[@]}")
if deps_from_cache "$prefix" "$key"; then
    echo "Web libraries: the same build taken from $(deps_cache_dir)/$key"
    exit 0
fi
rm -rf "$prefix" "$build/deps-build"
mkdir -p "$prefix" "$build/deps-build"
echo "Web libraries: building into $prefix"
build_zlib
build_ogg
build_vorbis
cmake_install "$build" "$prefix" libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DPNG_HARDWARE_OPTIMIZATIONS=OFF
cmake_install "$build" "$prefix" libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
printf '%s\n' "${versions[@]}" >"$stamp"
deps_to_cache "$prefix" "$key"
echo "Web libraries: built in $(($(date +%s) - start)) s"
