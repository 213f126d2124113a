#!/usr/bin/env bash
# Builds the show for the web with Debian's emscripten, run from the repository root:
#   scripts/build-web.sh
# Leaves build-web/glimwick-web/ (index.html, glimwick.js, glimwick.wasm, LICENSE, data/)
# and build-web/glimwick-web.zip, the same bytes from the same commit, and the tests' copy
# build-web/glimwick-web-frames/; serving the folder with any static server is all a viewer
# needs, e.g. python3 -m http.server -d build-web/glimwick-web. Installs what it needs
# first; the libraries it builds from Debian's source packages are kept in build-web/deps.
set -eu
cd "$(dirname "$0")/.."
scripts/install_packages.sh emscripten node-acorn cmake ninja-build dpkg-dev zip
out=$PWD/build-web
dist=$out/glimwick-web
# Debian's emscripten runs its JavaScript optimizer with Debian's node modules (acorn).
export NODE_PATH=/usr/share/nodejs

nice -n 10 scripts/web-deps.sh "$out"
# Preset web (CMakePresets.json): Ninja, the libraries in $out/deps, a release build of the
# show alone in $out/glimwick; emcmake adds emscripten's toolchain file.
emcmake cmake --preset web >/dev/null
cmake --build --preset web -j"$(nproc)"

rm -rf "$dist" "$dist.zip"
mkdir -p "$dist/data"
cp "$out/glimwick/glimwick.js" "$out/glimwick/glimwick.wasm" LICENSE "$dist/"
# The page's title names the release (scripts/version.sh).
title="s|<title>\(.*\)</title>|<title>\1 $(scripts/version.sh)</title>|"
sed "$title" "$out/glimwick/index.html" >"$dist/index.html"
xargs cp -t "$dist/data/" <"$out/glimwick/data-files"
scripts/zip-folder.sh "$out" glimwick-web
# The tests' copy, whose page also takes ?frames= (the web golden test); not for viewers.
rm -rf "$dist-frames"
cp -r "$dist" "$dist-frames"
sed "$title" "$out/glimwick/index-frames.html" >"$dist-frames/index.html"
echo "Built $dist and $dist.zip ($(du -cb "$dist"/*.* "$dist"/data/* | tail -n 1 | cut -f1) bytes to download)"
