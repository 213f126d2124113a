#!/usr/bin/env bash
# Fails when a source file includes a project header from a layer above its own, or from a
# layer beside its own.
# Usage: check_layering.sh SOURCE_DIR LAYER... [--beside LAYER...] where each LAYER is
# "name:path path ..." as the top CMakeLists.txt writes them: GLIMWICK_LAYERS from the bottom
# up, then GLIMWICK_BESIDE_LAYERS, which all stand on top of the others side by side and
# may include none of each other. A path ending in / is a folder; any other names one
# module, whatever its extension. Tests and benchmarks may include any layer, except for
# the headers private to the capture program and to the music (see the end).
set -u
root=$1
shift
cd "$root" || exit 1

names=() paths=() ranks=()
rank=0 beside=0
for entry in "$@"; do
    if [ "$entry" = --beside ]; then
        beside=1
        continue
    fi
    for path in ${entry#*:}; do
        names+=("${entry%%:*}")
        paths+=("$path")
        ranks+=("$rank")
    done
    [ $beside -eq 1 ] || rank=$((rank + 1))
done
if [ ${#paths[@]} -eq 0 ]; then
    echo "layering: no layers given" >&2
    exit 2
fi

# Index into paths of the layer holding file (relative to root), the longest match; -1: none.
layer_of() {
    local file=$1 best=-1 best_len=-1 i path
    for i in "${!paths[@]}"; do
        path=${paths[$i]}
        if [[ $path == */ && $file == "$path"* ]] || [[ $file == "$path".* ]]; then
            if [ ${#path} -gt $best_len ]; then
                best=$i
                best_len=${#path}
            fi
        fi
    done
    echo "$best"
}

folders=$(printf '%s\n' "${paths[@]}" | sed 's|/.*||' | sort -u)
files=0 includes=0 wrong=0
while IFS= read -r file; do
    own=$(layer_of "$file")
    [ "$own" -ge 0 ] || continue
    files=$((files + 1))
    while IFS= read -r header; do
        [ -f "$header" ] || continue # a system or third-party header
        includes=$((includes + 1))
        other=$(layer_of "$header")
        if [ "$other" -lt 0 ]; then
            echo "layering: $file includes $header, which belongs to no layer"
            wrong=$((wrong + 1))
        elif [ "${ranks[$other]}" -gt "${ranks[$own]}" ]; then
            echo "layering: $file (layer ${names[$own]}) includes $header" \
                "from ${names[$other]}, a layer above it"
            wrong=$((wrong + 1))
        elif [ "${ranks[$other]}" -eq "${ranks[$own]}" ] &&
            [ "${names[$other]}" != "${names[$own]}" ]; then
            echo "layering: $file (layer ${names[$own]}) includes $header" \
                "from ${names[$other]}, a layer beside it"
            wrong=$((wrong + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find $folders -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort)

# Headers private to a part: the capture program's are its own (outside it, only its tests
# include them); the music's are reached through shell/music_stream alone (outside it, only
# the music's tests, benchmarks and measuring tools include them), except the decoder, the
# one reader of the music file for every tool that reads it.
# private_headers PREFIX WHAT ALLOWED [OPEN]: ALLOWED, an extended regex over the including
# files; OPEN, one over the headers anyone may include.
private_headers() {
    local prefix=$1 what=$2 allowed=$3 open=${4:-^$} file header
    while IFS=: read -r file header; do
        [[ $file =~ $allowed || $header =~ $open ]] && continue
        echo "layering: $file includes $header, a header of $what"
        wrong=$((wrong + 1))
    done < <(grep -rnoE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$prefix[^\"]*\"" \
        --include='*.h' --include='*.cpp' --include='*.c' $folders tests bench |
        sed 's|:[^"]*"|:|; s|"$||')
}
private_headers capture/ "the capture program" '^(tests/)?capture/'
private_headers shell/music/ "the music" \
    '^(shell/music/|shell/music_stream\.|tests/(music|fuzz|support)/|bench/|measure/)' \
    '^shell/music/music_decoder\.h$'

if [ $files -eq 0 ] || [ $includes -eq 0 ]; then
    echo "layering: no files or no project includes found under $root" >&2
    exit 2
fi
echo "layering: $files files, $includes project includes, $wrong against the order"
[ $wrong -eq 0 ]
