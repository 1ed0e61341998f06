#!/usr/bin/env bash
# Runs fuzz targets of a build folder: each over its seed corpus (fuzz/corpus/TARGET), then for
# SECONDS over new inputs, as many targets at once as the machine has cores. New inputs go to
# BUILD/fuzz-run/TARGET (emptied first), never into the committed corpus; a crash, leak, hang
# or sanitizer report leaves its input in BUILD/fuzz-run/TARGET-findings/ and fails the run.
# Usage: fuzz/run.sh BUILD SECONDS [TARGET...]   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_dbf fuzz_dbt fuzz_mdx fuzz_probe fuzz_media fuzz_dbexpr)
fi
out=$build/fuzz-run
mkdir -p "$out"
# Seeds cut from the shared sample files, made afresh: those files are not copied into the
# project. Without them (no shared folder beside the project) the committed seeds run alone.
samples=$out/sample-seeds
rm -rf "$samples"
mkdir -p "$samples"
if [ -d ../shared/fixtures/dbase ]; then
    python3 fuzz/make_seeds.py --samples "$samples"
fi

run_one() {
    local target=$1
    rm -rf "${out:?}/$target"
    mkdir -p "$out/$target" "$out/$target-findings"
    local status=0
    mkdir -p "$samples/$target"
    local budget=(-max_total_time="$seconds")
    # The media target's seeds are the test videos. It runs over its seeds only: new inputs
    # soon reach the video library's own allocations sized from header fields (a mutated
    # header made it ask for 12 GB), which is the library's fault, not the mapping code's, and
    # would fail this run by chance. Longer campaigns: fuzz/README.md.
    if [ "$target" = fuzz_media ]; then
        budget=(-runs=0)
        cp tests/data/media/*.* "$samples/$target/"
        rm -f "$samples/$target/make.sh"
    fi
    mkdir -p "fuzz/corpus/$target"
    "$build/fuzz/$target" "$out/$target" "fuzz/corpus/$target" "$samples/$target" \
        "${budget[@]}" \
        -timeout=60 -print_final_stats=1 -artifact_prefix="$out/$target-findings/" \
        >"$out/$target.log" 2>&1 || status=$?
    echo "$status" >"$out/$target.status"
}

jobs=$(nproc)
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    run_one "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
    log=$out/$target.log
    status=$(cat "$out/$target.status")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*/[0-9A-Za-z]*' "$log" | tail -n 1)
    echo "$target: exit status $status, ${runs:-?} executions, ${cov:-no coverage line}"
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log" >&2
        failed=1
    fi
done
exit "$failed"
