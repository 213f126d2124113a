#!/usr/bin/env bash
# Cross-builds the show's libraries for 64-bit Windows from Debian's own source packages
# into a static prefix. Usage: scripts/windows-deps.sh BUILD_DIR (prefix: BUILD_DIR/deps).
# A prefix that holds a finished build is kept as it is: delete BUILD_DIR/deps to redo it.
# The sources come through apt with a private sources list, lists and cache under
# BUILD_DIR/apt, so the machine's own apt configuration is neither read for writing nor
# changed; the deb-src entries name the same mirror and suites its deb entries use.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$build/deps
stamp=$prefix/.complete
packages=(zlib libogg libvorbis libpng1.6 glew libsdl2)
if [ -f "$stamp" ]; then
    echo "Windows libraries: already built in $prefix ($(tr '\n' ' ' <"$stamp"))"
    exit 0
fi
triplet=x86_64-w64-mingw32
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)

# deb-src twins of the machine's deb entries (one-line and deb822 forms) for its release.
apt_sources() {
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    {
        cat /etc/apt/sources.list 2>/dev/null | sed 's/^/LINE /'
        for f in /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && sed 's/^/LINE /' "$f"; done
        for f in /etc/apt/sources.list.d/*.sources; do [ -f "$f" ] && cat "$f" && echo; done
    } | awk -v codename="$codename" '
        function wanted(suite) { return codename == "" || suite ~ ("^" codename "(-|$)") }
        function flush(   n, u, s, i, j, opt) {
            if (types ~ /(^| )deb( |$)/) {
                opt = keyring == "" ? "" : "[signed-by=" keyring "] "
                n = split(uris, u, " "); m = split(suites, s, " ")
                for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
                    if (wanted(s[j])) print "deb-src " opt u[i] " " s[j] " " comps
            }
            types = uris = suites = comps = keyring = ""
        }
        /^LINE/ {
            sub(/^LINE /, "")
            if ($1 != "deb") next
            line = $0; sub(/^deb /, "", line)
            opts = ""
            if (line ~ /^\[/) { opts = substr(line, 1, index(line, "]")) " "; line = substr(line, index(line, "]") + 2) }
            split(line, f, " ")
            if (wanted(f[2])) print "deb-src " opts line
            next
        }
        /^[ \t]*$/ { flush(); next }
        /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
        /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
        /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
        /^Components:/ { sub(/^Components:[ \t]*/, ""); comps = $0 }
        /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); keyring = $0 }
        END { flush() }' | sort -u
}

fetch_sources() {
    local apt=$build/apt
    mkdir -p "$apt/lists/partial" "$apt/sources.list.d" "$apt/cache/archives/partial" "$build/sources"
    apt_sources >"$apt/sources.list"
    if [ ! -s "$apt/sources.list" ]; then
        echo "windows-deps: no Debian deb entry found in /etc/apt to derive a deb-src entry from" >&2
        exit 1
    fi
    local options=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/sources.list.d"
        -o "Dir::State::lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
    apt-get "${options[@]}" -qq update
    local release package
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    cd "$build/sources" && rm -rf ./*
    # The newest source; the release's own when a mirror does not carry an update's files.
    for package in "${packages[@]}"; do
        apt-get "${options[@]}" -qq source "$package" >/dev/null 2>&1 ||
            apt-get "${options[@]}" -qq source "$package/$release" >/dev/null ||
            { echo "windows-deps: apt-get source $package failed" >&2; exit 1; }
    done
    cd "$root"
}

# source_dir PACKAGE: the unpacked tree of a source package.
source_dir() {
    local dir
    dir=$(find "$build/sources" -maxdepth 1 -type d -name "$1-*" | head -n 1)
    [ -n "$dir" ] || { echo "windows-deps: no unpacked source for $1" >&2; exit 1; }
    echo "$dir"
}

# cmake_install PACKAGE [CMAKE OPTIONS...]: a static Release build installed into the prefix.
cmake_install() {
    local src
    src=$(source_dir "$1")
    shift
    local work=$build/deps-build/$(basename "$src")
    cmake -S "$src" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DGLIMWICK_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=OFF -Wno-dev "$@" >"$work.log" 2>&1 ||
        { tail -n 30 "$work.log"; exit 1; }
    cmake --build "$work" -j"$jobs" >>"$work.log" 2>&1 && cmake --install "$work" >>"$work.log" 2>&1 ||
        { tail -n 30 "$work.log"; exit 1; }
}

# zlib: Debian's tarball drops the Windows build files, so its library sources are compiled
# directly; the static library is all the show needs.
build_zlib() {
    local src work=$build/deps-build/zlib name
    src=$(source_dir zlib)
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
    src=$(source_dir glew)
    mkdir -p "$work" "$prefix/include/GL" "$prefix/lib"
    $triplet-gcc -O2 -DGLEW_STATIC -DGLEW_NO_GLU -I"$src/include" -c "$src/src/glew.c" -o "$work/glew.o"
    $triplet-ar rcs "$prefix/lib/libglew32s.a" "$work/glew.o"
    install -m 644 -t "$prefix/include/GL" "$src/include/GL/glew.h" "$src/include/GL/wglew.h"
}

start=$(date +%s)
echo "Windows libraries: fetching ${packages[*]} (deb-src)"
fetch_sources
rm -rf "$prefix" "$build/deps-build"
mkdir -p "$prefix" "$build/deps-build"
echo "Windows libraries: building into $prefix"
build_zlib
build_glew
cmake_install libogg -DINSTALL_DOCS=OFF
cmake_install libvorbis
cmake_install libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
cmake_install libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
for p in "${packages[@]}"; do basename "$(source_dir "$p")"; done >"$stamp"
echo "Windows libraries: built in $(($(date +%s) - start)) s"
