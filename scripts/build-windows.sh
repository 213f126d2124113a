#!/usr/bin/env bash
# Builds the show for 64-bit Windows with mingw-w64, run from the repository root:
#   scripts/build-windows.sh
# Leaves build-windows/glimwick-windows/ (glimwick.exe, data/, README.txt, LICENSE.txt) and
# build-windows/glimwick-windows.zip, the same bytes from the same commit. Installs what it
# needs first; the libraries it cross-builds from Debian's source packages are kept in
# build-windows/deps for the next run.
set -eu
cd "$(dirname "$0")/.."
scripts/install_packages.sh cmake ninja-build pkg-config dpkg-dev zip gcc-mingw-w64-x86-64-posix \
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
triplet=x86_64-w64-mingw32
out=$PWD/build-windows
dist=$out/glimwick-windows

nice -n 10 scripts/windows-deps.sh "$out"
# Preset windows (CMakePresets.json): Ninja, the mingw-w64 toolchain, the libraries in
# $out/deps, a release build of the show alone in $out/glimwick.
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"

rm -rf "$dist" "$dist.zip"
mkdir -p "$dist"
$triplet-strip -o "$dist/glimwick.exe" "$out/glimwick/glimwick.exe"
cp -r data "$dist/data"
release=$(scripts/version.sh)
# Windows line endings, so that Notepad shows the lines.
sed 's/$/\r/' LICENSE >"$dist/LICENSE.txt"
sed 's/$/\r/' >"$dist/README.txt" <<EOF
Glimwick $release, by Vornic: a self-running real-time audio-visual presentation of two
minutes. Free software under the MIT licence (LICENSE.txt).

Run glimwick.exe (from any folder: it finds data\ beside itself). It asks "Fullscreen?"
first; Yes switches the display to 1024 x 768 when the display offers that mode, No plays
it in a 1024 x 768 window. Escape or closing the window ends it; otherwise it ends by
itself after 120 seconds.

Needs an OpenGL driver with framebuffer objects (OpenGL 3.0, or the ARB or EXT
framebuffer-object extension) and a sound device. Nothing is installed and nothing is
written; delete the folder to remove it. If it cannot start, a message box says why.

Contents: glimwick.exe (the program, which needs no DLLs beyond Windows' own),
data\\tarnwhistle.ogg (the music), data\\texture_text.png (the text panels), the licence,
this file.
EOF

# Everything the executable imports must come with Windows itself.
allowed="kernel32 user32 gdi32 msvcrt opengl32 glu32 winmm imm32 ole32 oleaut32 version advapi32
    setupapi shell32 cfgmgr32 dinput8"
imports=$($triplet-objdump -p "$dist/glimwick.exe" | awk '/DLL Name:/ {print tolower($3)}')
for dll in $imports; do
    if ! grep -qw "${dll%.dll}" <<<"$allowed"; then
        echo "build-windows: glimwick.exe imports $dll, which Windows does not provide" >&2
        exit 1
    fi
done
echo "Imports: $(echo $imports)"

scripts/zip-folder.sh "$out" glimwick-windows
echo "Built $dist and $dist.zip"
