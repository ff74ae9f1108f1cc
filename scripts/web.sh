#!/usr/bin/env bash
# Builds zirvon in the browser, build/web/zirvon.html: one file holding the
# page, its scripts and the core in WebAssembly, which works offline from
# disk or any web server. Installs what is missing (Emscripten, Node.js and
# npm: scripts/setup.sh --web), builds the core with Emscripten in
# build/wasm/, installs the page's npm packages from web/package-lock.json
# (npm ci, into web/node_modules/) and bundles the page (web/build.mjs).
# A second run installs nothing and rebuilds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --web

# Emscripten's tools need Debian's JavaScript modules (acorn), which a
# Node.js from elsewhere does not look for.
export NODE_PATH=/usr/share/nodejs

if [[ ! -f build/wasm/CMakeCache.txt ]]; then
    emcmake cmake -S . -B build/wasm -DCMAKE_BUILD_TYPE=Release -DZIRVON_CORE_ONLY=ON -DZIRVON_TESTS=OFF >/dev/null
fi
cmake --build build/wasm -j "$(nproc)" --target zirvon_web

# npm ci empties node_modules first: only when the lock file has changed.
if ! cmp -s web/package-lock.json web/node_modules/.zirvon-lock; then
    (cd web && npm ci --no-audit --no-fund)
    cp web/package-lock.json web/node_modules/.zirvon-lock
fi

page=build/web/zirvon.html
wasm=build/wasm/web/zirvon.wasm
if [[ ! -f $page || -n $(find web/build.mjs web/page web/src examples docs "$wasm" web/node_modules/.zirvon-lock \
        -newer "$page" -print -quit) ]]; then
    node web/build.mjs "$wasm" "$page"
fi
