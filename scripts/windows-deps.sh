#!/usr/bin/env bash
# Cross-builds the show's libraries for 64-bit Windows from Debian's own source packages
# into a static prefix. Usage: scripts/windows-deps.sh BUILD_DIR (prefix: BUILD_DIR/deps).
# A prefix that holds a finished build is kept as it is: delete BUILD_DIR/deps to redo it.
# The sources come through apt as scripts/debian-sources.sh fetches them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps-lib.sh"
deps_prepare "Windows libraries" "$1"
triplet=x86_64-w64-mingw32
dep_cc=("$triplet-gcc")
dep_ar=("$triplet-ar")
dep_configure=(cmake -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    -DGLIMWICK_DEPS_PREFIX="$prefix")

build_libraries() {
    build_zlib
    # GLEW: one generated C file; built static without the GLU dependency.
    local glew
    glew=$(source_dir "$build" glew)
    static_library glew32s "$glew/src" -DGLEW_STATIC -DGLEW_NO_GLU "-I$glew/include" -- glew
    install -d "$prefix/include/GL"
    install -m 644 -t "$prefix/include/GL" "$glew/include/GL/glew.h" "$glew/include/GL/wglew.h"
    cmake_install "$build" "$prefix" libogg -DINSTALL_DOCS=OFF
    cmake_install "$build" "$prefix" libvorbis
    cmake_install "$build" "$prefix" libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
    cmake_install "$build" "$prefix" libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
}

deps_build windows "$($triplet-gcc --version | head -n 1)" zlib libogg libvorbis libpng1.6 glew \
    libsdl2 -- "$root/cmake/mingw-w64-x86_64.cmake"
