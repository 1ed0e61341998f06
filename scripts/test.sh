#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The code stays formatted by the project's .clang-format.
git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror
export QT_QPA_PLATFORM=offscreen
bash scripts/build.sh -DWELARIK_WERROR=ON -DWELARIK_BENCH=ON
ctest --test-dir "${WELARIK_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
