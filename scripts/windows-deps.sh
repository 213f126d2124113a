#!/usr/bin/env bash
# Cross-builds the show's libraries for 64-bit Windows from Debian's own source packages
# into a static prefix. Usage: scripts/windows-deps.sh BUILD_DIR (prefix: BUILD_DIR/deps).
# A prefix that holds a finished build is kept as it is: delete BUILD_DIR/deps to redo it.
# The sources come through apt as scripts/debian-sources.sh fetches them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/debian-sources.sh"
build=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$build/deps
stamp=$prefix/.complete
packages=(zlib libogg libvorbis libpng1.6 glew libsdl2)
if [ -f "$stamp" ]; then
    echo "Windows libraries: already built in $prefix ($(tr '\n' ' ' <"$stamp"))"
    exit 0
fi
triplet=x86_64-w64-mingw32
dep_configure=(cmake -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    -DGLIMWICK_DEPS_PREFIX="$prefix")

# zlib: Debian's tarball drops the Windows build files, so its library sources are compiled
# directly; the static library is all the show needs.
build_zlib() {
    local src work=$build/deps-build/zlib name
    src=$(source_dir "$build" zlib)
    mkdir -p "$work"
    for name in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
        inflate inftrees trees uncompr zutil; do
        $triplet-gcc -O2 -c "$src/$name.c" -o "$work/$name.o"
    done
    install -d "$prefix/lib" "$prefix/include"
    $triplet-ar rcs "$prefix/lib/libz.a" "$work"/*.o
    install -m 644 -t "$prefix/include" "$src/zlib.h" "$src/zconf.h"
}

# GLEW: one generated C file; built static without the GLU dependency.
build_glew() {
    local src work=$build/deps-build/glew
    src=$(source_dir "$build" glew)
    mkdir -p "$work" "$prefix/include/GL" "$prefix/lib"
    $triplet-gcc -O2 -DGLEW_STATIC -DGLEW_NO_GLU -I"$src/include" -c "$src/src/glew.c" -o "$work/glew.o"
    $triplet-ar rcs "$prefix/lib/libglew32s.a" "$work/glew.o"
    install -m 644 -t "$prefix/include/GL" "$src/include/GL/glew.h" "$src/include/GL/wglew.h"
}

start=$(date +%s)
echo "Windows libraries: fetching ${packages[*]} (deb-src)"
fetch_debian_sources "$build" windows-deps "${packages[@]}"
versions=()
for p in "${packages[@]}"; do versions+=("$(basename "$(source_dir "$build" "$p")")"); done
key=$(deps_cache_key windows "$0" "$root/scripts/debian-sources.sh" "$root/cmake/mingw-w64-x86_64.cmake" -- "$($triplet-gcc --version | head -n 1)" "${versions[@]}")
if deps_from_cache "$prefix" "$key"; then
    echo "Windows libraries: the same build taken from $(deps_cache_dir)/$key"
    exit 0
fi
rm -rf "$prefix" "$build/deps-build"
mkdir -p "$prefix" "$build/deps-build"
echo "Windows libraries: building into $prefix"
build_zlib
build_glew
cmake_install "$build" "$prefix" libogg -DINSTALL_DOCS=OFF
cmake_install "$build" "$prefix" libvorbis
cmake_install "$build" "$prefix" libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
cmake_install "$build" "$prefix" libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
printf '%s\n' "${versions[@]}" >"$stamp"
deps_to_cache "$prefix" "$key"
echo "Windows libraries: built in $(($(date +%s) - start)) s"
