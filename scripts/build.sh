#!/usr/bin/env bash
# Configures and builds into build/ (or $WELARIK_BUILD_DIR). Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WELARIK_BUILD_DIR:-build}
launcher=()
# A compiler cache, where the machine has one, makes rebuilds in several work trees cheap.
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Paths under the work tree are hashed relative to it, so clones share the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
cmake --build "$build" -j "$(nproc)"
