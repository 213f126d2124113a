#!/usr/bin/env bash
# The web and Windows dependency builds in a folder whose path holds a space, with stand-ins
# for apt-get, the compilers, archivers and cmake that note their arguments (one a line) and
# refuse a stray word, as a compiler given half a path would: every path the scripts hand on
# must arrive as one argument. Nothing is fetched or compiled.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/support/e2e_lib.sh"
new_work_dir scratch
trap 'rm -rf "$scratch"' EXIT
bin=$scratch/bin
log=$scratch/calls
mkdir -p "$bin"

# apt-get: "source PACKAGE" unpacks PACKAGE-1.0 with the headers the script installs.
cat >"$bin/apt-get" <<'S'
#!/usr/bin/env bash
for arg; do package=$arg; done
[[ " $* " == *" source "* ]] || exit 0
package=${package%%/*}
mkdir -p "$package-1.0" && cd "$package-1.0" || exit 1
case $package in
zlib) touch zlib.h zconf.h ;;
libogg) mkdir -p include/ogg && touch include/ogg/config_types.h.in include/ogg/ogg.h include/ogg/os_types.h ;;
libvorbis) mkdir -p include/vorbis && touch include/vorbis/codec.h include/vorbis/vorbisfile.h ;;
glew) mkdir -p include/GL && touch include/GL/glew.h include/GL/wglew.h ;;
esac
S
# A tool stand-in: its name and arguments into the log, one a line; a word that is neither
# an option nor the value of -c, -o, -S, -B, -G or --build/--install, nor (for an archiver) a file
# that exists, is a path cut in two.
cat >"$bin/tool" <<S
#!/usr/bin/env bash
name=\$(basename "\$0")
[ "\${1:-}" = --version ] && { echo "\$name stand-in 1.0"; exit 0; }
{ echo "== \$name"; printf '%s\n' "\$@"; } >>"$log"
previous=""
for arg; do
    case \$arg in
    -* | rcs | cmake) ;;
    *) case \$previous in
       -c | -o | -S | -B | -G | --build | --install | rcs) ;;
       *) [[ \$name == *ar ]] && [ -e "\$arg" ] || { echo "\$name: stray argument '\$arg'" >&2; exit 1; } ;;
       esac ;;
    esac
    [ "\$previous" = -o ] && touch "\$arg"
    [ "\$previous" = rcs ] && touch "\$arg"
    previous=\$arg
done
[ "\$name" = emcmake ] && exec "$bin/cmake" "\${@:2}"
exit 0
S
chmod 755 "$bin/apt-get" "$bin/tool"
for name in emcc emar emcmake cmake x86_64-w64-mingw32-gcc x86_64-w64-mingw32-ar; do
    ln -s tool "$bin/$name"
done

# deps KIND: runs scripts/KIND-deps.sh into "a folder with spaces/build-KIND".
deps() {
    build="$scratch/a folder with spaces/build-$1"
    prefix=$build/deps
    : >"$log"
    PATH="$bin:$PATH" GLIMWICK_DEPS_CACHE=none bash "$root/scripts/$1-deps.sh" "$build" \
        >"$scratch/out" 2>&1
    status=$?
    check "$1: the script finishes (status $status: $(tail -n 3 "$scratch/out" | tr '\n' ' '))" \
        [ $status -eq 0 ]
    check "$1: the finished prefix is stamped" [ -f "$prefix/.complete" ]
    check "$1: libpng's configure is told of zlib as one argument" \
        args "-DZLIB_LIBRARY=$prefix/lib/libz.a"
    check "$1: SDL is installed into the prefix" args "-DCMAKE_INSTALL_PREFIX=$prefix"
    check "$1: zlib is archived into the prefix" args "$prefix/lib/libz.a"
}
args() { grep -qxF -- "$1" "$log"; }

deps web
check "web: libogg's compile gets the prefix's headers as one argument" args "-I$prefix/include"
check "web: libvorbis's compile gets its sources' headers as one argument" \
    args "-I$build/sources/libvorbis-1.0/include"
check "web: libogg's objects are archived into the prefix" args "$prefix/lib/libogg.a"
deps windows
check "windows: GLEW's compile gets its headers as one argument" \
    args "-I$build/sources/glew-1.0/include"
check "windows: GLEW is archived into the prefix" args "$prefix/lib/libglew32s.a"
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
