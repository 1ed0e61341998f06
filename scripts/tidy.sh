#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the C++ sources changed against main (a changed header
# brings in the source of the same name), or over every source with --all. With --at-most N
# it checks the changed sources only when there are at most N of them (a source takes clang-tidy
# 10-20 seconds), and otherwise says so and checks none. Uses the compile commands of the build
# folder (build/ or $WELARIK_BUILD_DIR), so run scripts/build.sh first. Exits non-zero when
# clang-tidy reports an error.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WELARIK_BUILD_DIR:-build}
database="$build/compile_commands.json"
if [ ! -f "$database" ]; then
    echo "tidy: $database is missing; run scripts/build.sh first" >&2
    exit 1
fi

limit=
if [ "${1:-}" = "--at-most" ]; then
    limit=${2:?--at-most takes a number}
fi
if [ "${1:-}" = "--all" ]; then
    mapfile -t candidates < <(git ls-files '*.cpp')
else
    base=$(git merge-base HEAD main 2>/dev/null || true)
    if [ -z "$base" ]; then
        echo "tidy: no branch main to compare with; nothing checked (use --all)"
        exit 0
    fi
    mapfile -t candidates < <(
        { git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h'
          git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } \
            | sed 's/\.h$/.cpp/' | sort -u)
fi

# Only sources this build compiles (the fuzzers, for one, need their own configuration).
files=()
for f in "${candidates[@]}"; do
    if [ -f "$f" ] && grep -q "\"file\": \"[^\"]*/$f\"" "$database"; then
        files+=("$f")
    fi
done
if [ ${#files[@]} -eq 0 ]; then
    echo "tidy: no sources to check"
    exit 0
fi
if [ -n "$limit" ] && [ ${#files[@]} -gt "$limit" ]; then
    echo "tidy: ${#files[@]} changed sources, more than $limit; run scripts/tidy.sh to check them"
    exit 0
fi
echo "tidy: checking ${#files[@]} source(s)"
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet
