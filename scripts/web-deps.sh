#!/usr/bin/env bash
# Builds the show's libraries for the web (WebAssembly, with Debian's emscripten) from
# Debian's own source packages into a static prefix, without emscripten's ports (which
# download). Usage: scripts/web-deps.sh BUILD_DIR (prefix: BUILD_DIR/deps).
# A prefix that holds a finished build is kept as it is: delete BUILD_DIR/deps to redo it.
set -eu
. "$(dirname "$0")/deps-lib.sh"
deps_prepare "Web libraries" "$1"
# Debian's emscripten runs its JavaScript tools with Debian's node modules (acorn).
export NODE_PATH=/usr/share/nodejs
# The small libraries are compiled file by file: their CMake probes (type sizes read back
# from a test program) cannot see into a WebAssembly binary, and the compile is all they need.
dep_cc=(emcc)
dep_ar=(emar)
# Search only the prefix for the libraries built before (emscripten's toolchain file
# confines find_package to its sysroot and CMAKE_FIND_ROOT_PATH).
dep_configure=(emcmake cmake -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix")

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
    static_library ogg "$src/src" "-I$prefix/include" -- bitwise framing
}

# libvorbis: the decoder and vorbisfile (the web build only plays).
build_vorbis() {
    local src
    src=$(source_dir "$build" libvorbis)
    install -d "$prefix/include/vorbis"
    install -m 644 -t "$prefix/include/vorbis" "$src/include/vorbis/codec.h" \
        "$src/include/vorbis/vorbisfile.h"
    static_library vorbis "$src/lib" "-I$prefix/include" "-I$src/include" "-I$src/lib" -- mdct \
        smallft block envelope window lsp lpc analysis synthesis psy info floor1 floor0 res0 \
        mapping0 registry codebook sharedbook lookup bitrate
    static_library vorbisfile "$src/lib" "-I$prefix/include" "-I$src/include" -- vorbisfile
}

build_libraries() {
    build_zlib -DHAVE_UNISTD_H -DHAVE_STDARG_H
    build_ogg
    build_vorbis
    cmake_install "$build" "$prefix" libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" \
        -DZLIB_INCLUDE_DIR="$prefix/include" -DPNG_HARDWARE_OPTIMIZATIONS=OFF
    cmake_install "$build" "$prefix" libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
}

deps_build web "$(emcc --version | head -n 1)" zlib libogg libvorbis libpng1.6 libsdl2
