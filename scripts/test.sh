#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test headless; then
# the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz
# target over its seed corpus and 20 seconds of new inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
bash scripts/install-deps.sh
# The code stays formatted by the project's .clang-format.
git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror
export QT_QPA_PLATFORM=offscreen
build=${WELARIK_BUILD_DIR:-build}
WELARIK_BUILD_DIR=$build bash scripts/build.sh -DWELARIK_WERROR=ON -DWELARIK_BENCH=ON
# Smoke start of the real program: it has no command line, so it counts as started when it is
# still running after a few seconds (timeout's exit status 124).
# It runs with a data folder of its own, so that it never lays out a catalogue in the real home.
status=0
smoke_data=$(mktemp -d)
XDG_DATA_HOME="$smoke_data" timeout 5 "$build/src/app/welarik" || status=$?
rm -rf "$smoke_data"
if [ "$status" -ne 124 ]; then
    echo "the program did not keep running (exit status $status)" >&2
    exit 1
fi
echo "the program started and kept running"

ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
# What a user installs: the install tree, the installed program's start and the package.
bash scripts/check-install.sh
bash scripts/tidy.sh --at-most 8

# The same suite under the sanitizers, in a build folder of its own (no benchmarks). A test
# stops at the first report and fails, leaks included (tests/CMakeLists.txt, tests/lsan.supp).
asan=${WELARIK_ASAN_BUILD_DIR:-build-asan}
# -O1 and line tables only: quicker to build, and still exact file:line in every report.
WELARIK_BUILD_DIR=$asan bash scripts/build.sh -DWELARIK_WERROR=ON -DWELARIK_SANITIZE=ON \
    -DWELARIK_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir "$asan" --output-on-failure -j "$(nproc)"

# The fuzz targets (clang, libFuzzer, both sanitizers): every seed, then 20 seconds of new
# inputs kept out of the committed corpus; a crash, leak, hang or sanitizer report fails.
fuzz=${WELARIK_FUZZ_BUILD_DIR:-build-fuzz}
CXX=clang++ WELARIK_BUILD_DIR=$fuzz bash scripts/build.sh -DWELARIK_WERROR=ON \
    -DWELARIK_FUZZ=ON -DWELARIK_GUI=OFF -DWELARIK_TESTS=OFF
bash fuzz/run.sh "$fuzz" 20

echo "test command finished in $((SECONDS - start)) s"
