#!/usr/bin/env bash
# Builds the show for the web with Debian's emscripten, run from the repository root:
#   scripts/build-web.sh
# Leaves build-web/glimwick-web/ (index.html, glimwick.js, glimwick.wasm, LICENSE, data/)
# and build-web/glimwick-web.zip, the same bytes from the same commit; serving the folder
# with any static server is all a viewer needs, e.g.
# python3 -m http.server -d build-web/glimwick-web. Installs what it needs first; the
# libraries it builds from Debian's source packages are kept in build-web/deps.
set -eu
cd "$(dirname "$0")/.."
scripts/install_packages.sh emscripten node-acorn cmake ninja-build dpkg-dev zip
out=$PWD/build-web
dist=$out/glimwick-web
# Debian's emscripten runs its JavaScript optimizer with Debian's node modules (acorn).
export NODE_PATH=/usr/share/nodejs

nice -n 10 scripts/web-deps.sh "$out"
emcmake cmake -S . -B "$out/glimwick" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DGLIMWICK_DEPS_PREFIX="$out/deps" >/dev/null
cmake --build "$out/glimwick" --target glimwick -j"$(nproc)"

rm -rf "$dist" "$dist.zip"
mkdir -p "$dist/data"
cp "$out/glimwick/glimwick.js" "$out/glimwick/glimwick.wasm" LICENSE "$dist/"
# The page's title names the release (scripts/version.sh).
sed "s|<title>\(.*\)</title>|<title>\1 $(scripts/version.sh)</title>|" shell/web/index.html \
    >"$dist/index.html"
cp data/tarnwhistle.ogg data/texture_text.png "$dist/data/"
scripts/zip-folder.sh "$out" glimwick-web
echo "Built $dist and $dist.zip ($(du -cb "$dist"/*.* "$dist"/data/* | tail -n 1 | cut -f1) bytes to download)"
