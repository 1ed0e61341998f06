#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The code stays formatted by the project's .clang-format.
git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror
export QT_QPA_PLATFORM=offscreen
bash scripts/build.sh -DWELARIK_WERROR=ON -DWELARIK_BENCH=ON
# Smoke start of the real program: it has no command line, so it counts as started when it is
# still running after a few seconds (timeout's exit status 124).
# It runs with a data folder of its own, so that it never lays out a catalogue in the real home.
status=0
smoke_data=$(mktemp -d)
XDG_DATA_HOME="$smoke_data" timeout 5 "${WELARIK_BUILD_DIR:-build}/src/app/welarik" || status=$?
rm -rf "$smoke_data"
if [ "$status" -ne 124 ]; then
    echo "the program did not keep running (exit status $status)" >&2
    exit 1
fi
echo "the program started and kept running"

ctest --test-dir "${WELARIK_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
# What a user installs: the install tree, the installed program's start and the package.
bash scripts/check-install.sh
bash scripts/tidy.sh --at-most 8
