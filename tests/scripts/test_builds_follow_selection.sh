#!/usr/bin/env bash
# ./test.sh makes the Windows and web builds exactly when it runs some of their tests: run
# in a scratch tree (the real test.sh and presets over a stand-in project whose tests only
# note that they ran, and stand-in build scripts that note that they built) through a
# sequence of arguments, after a full run has left both folders in the CMake cache.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/support/e2e_lib.sh"
new_work_dir scratch
trap 'rm -rf "$scratch"' EXIT
tree=$scratch/tree
mkdir -p "$tree/scripts/packages"
cp "$root/test.sh" "$root/CMakePresets.json" "$tree/"
cp "$root"/scripts/packages/*.txt "$tree/scripts/packages/"
printf '#!/bin/sh\nexit 0\n' >"$tree/scripts/install_packages.sh"
for kind in windows web; do
    printf '#!/bin/sh\necho %s >>"%s/built"\nmkdir -p build-%s/glimwick-%s\n' \
        "$kind" "$scratch" "$kind" "$kind" >"$tree/scripts/build-$kind.sh"
done
chmod 755 "$tree"/scripts/*.sh
# The project: a test per kind, each writing its kind when run; the Windows and web tests
# registered as the real ones are, only when their folder is given.
cat >"$tree/CMakeLists.txt" <<EOF2
cmake_minimum_required(VERSION 3.20)
project(selection NONE)
include(CTest)
set(GLIMWICK_WINDOWS_DIR "" CACHE PATH "")
set(GLIMWICK_WEB_DIR "" CACHE PATH "")
function(noting name label)
    add_test(NAME \${name} COMMAND sh -c "echo \${label} >>$scratch/ran")
    set_tests_properties(\${name} PROPERTIES LABELS \${label})
endfunction()
noting(glimwick-test-clock unit)
noting(glimwick-long-gl-checked long)
noting(glimwick-long-sanitized long)
if(GLIMWICK_WINDOWS_DIR)
    noting(glimwick-windows-shell windows)
endif()
if(GLIMWICK_WEB_DIR)
    noting(glimwick-web-page web)
endif()
EOF2

failures=0
passes=0
# kinds FILE: the Windows and web kinds named in FILE, sorted, on one line.
kinds() { grep -xE 'windows|web' "$1" 2>/dev/null | sort -u | tr '\n' ' '; }
# expect "ARGUMENTS" "KINDS BUILT AND TESTED": one ./test.sh run.
expect() {
    local built ran
    : >"$scratch/built"
    : >"$scratch/ran"
    # shellcheck disable=SC2086 # the arguments are several words
    (cd "$tree" && bash ./test.sh $1 >"$scratch/out" 2>&1)
    local status=$?
    built=$(kinds "$scratch/built") ran=$(kinds "$scratch/ran")
    if [ $status -eq 0 ] && [ "$built" = "$2" ] && [ "$ran" = "$2" ]; then
        passes=$((passes + 1))
    else
        echo "FAIL: ./test.sh $1: built '$built', tested '$ran', wanted '$2' for both (status $status)"
        tail -n 5 "$scratch/out"
        failures=$((failures + 1))
    fi
}
expect "" "web windows "
# Both folders now in the cache: what runs must still be what is built.
expect "-E long" "web windows "
expect "-j2" "web windows "
expect "-E web" "windows "
expect "-LE web" "windows "
expect "-L unit" ""
expect "--quick" ""
expect "-R glimwick-web-page" "web "
expect "-L windows" "windows "
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
