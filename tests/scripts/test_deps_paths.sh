#!/usr/bin/env bash
# The web dependency build in a folder whose path holds a space, with stand-ins for apt-get,
# emcc, emar, emcmake and cmake that note their arguments (one a line) and refuse a stray
# word, as a compiler given half a path would: every path the script hands on must arrive
# as one argument. Nothing is fetched or compiled.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bin=$scratch/bin
build="$scratch/a folder with spaces/build-web"
prefix=$build/deps
log=$scratch/calls
mkdir -p "$bin"
failures=0
passes=0
check() { # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

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
esac
S
# A tool stand-in: its name and arguments into the log, one a line; a word that is neither
# an option nor the value of -c, -o, -S, -B or --build/--install, nor (for emar) a file
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
       *) [ "\$name" = emar ] && [ -e "\$arg" ] || { echo "\$name: stray argument '\$arg'" >&2; exit 1; } ;;
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
for name in emcc emar emcmake cmake; do ln -s tool "$bin/$name"; done

PATH="$bin:$PATH" GLIMWICK_DEPS_CACHE=none bash "$root/scripts/web-deps.sh" "$build" \
    >"$scratch/out" 2>&1
status=$?
args() { grep -qxF -- "$1" "$log"; }
check "the script finishes (status $status: $(tail -n 3 "$scratch/out" | tr '\n' ' '))" \
    [ $status -eq 0 ]
check "libogg's compile gets the prefix's headers as one argument" args "-I$prefix/include"
check "libvorbis's compile gets its sources' headers as one argument" \
    args "-I$build/sources/libvorbis-1.0/include"
check "libogg's objects are archived into the prefix" args "$prefix/lib/libogg.a"
check "libpng's configure is told of zlib as one argument" args "-DZLIB_LIBRARY=$prefix/lib/libz.a"
check "SDL is installed into the prefix" args "-DCMAKE_INSTALL_PREFIX=$prefix"
check "the finished prefix is stamped" [ -f "$prefix/.complete" ]
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
