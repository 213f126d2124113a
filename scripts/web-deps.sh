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

# zlib: its static library from the library sources; Debian's tarball builds the
# examples and the shared library by default, neither of which the web wants.
build_zlib() {
    local src work=$build/deps-build/zlib name
    src=$(source_dir "$build" zlib)
    mkdir -p "$work"
    for name in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
        inflate inftrees trees uncompr zutil; do
        emcc -O2 -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$src/$name.c" -o "$work/$name.o"
    done
    install -d "$prefix/lib" "$prefix/include"
    emar rcs "$prefix/lib/libz.a" "$work"/*.o
    install -m 644 -t "$prefix/include" "$src/zlib.h" "$src/zconf.h"
}

start=$(date +%s)
echo "Web libraries: fetching ${packages[*]} (deb-src)"
fetch_debian_sources "$build" web-deps "${packages[@]}"
rm -rf "$prefix" "$build/deps-build"
mkdir -p "$prefix" "$build/deps-build"
echo "Web libraries: building into $prefix"
build_zlib
cmake_install "$build" "$prefix" libogg -DINSTALL_DOCS=OFF
cmake_install "$build" "$prefix" libvorbis
cmake_install "$build" "$prefix" libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DPNG_HARDWARE_OPTIMIZATIONS=OFF
cmake_install "$build" "$prefix" libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
for p in "${packages[@]}"; do basename "$(source_dir "$build" "$p")"; done >"$stamp"
echo "Web libraries: built in $(($(date +%s) - start)) s"
