#!/bin/bash
# Builds the "fuzz" preset and runs every libFuzzer target (tests/fuzz/fuzz_<name>.cpp: archive,
# bitmap, decoder, script, signature, uninstall) for a bounded time, starting from its seed
# corpus in tests/fuzz/corpus/<name>/. Inputs found on the way go to a scratch folder,
# never into the repository. Exits non-zero when a target reports a crash, a sanitizer error,
# a timeout (an input that takes over 10 s: a loop without end) or runs out of memory.
#
# Usage: scripts/fuzz.sh [seconds per target, default 60]
# KV_FUZZ_BUILD_DIR (default build/fuzz) is the build folder; KV_JOBS (default 2) the build
# parallelism. Findings (crash-*, timeout-*, oom-*) are written to $KV_FUZZ_BUILD_DIR/findings.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${KV_FUZZ_BUILD_DIR:-build/fuzz}
jobs=${KV_JOBS:-2}

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$jobs"

mkdir -p "$build/findings"
status=0
for source in tests/fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    seeds="tests/fuzz/corpus/${target#fuzz_}"
    scratch=$(mktemp -d)
    echo "=== $target: ${seconds} s from $seeds"
    log="$build/findings/$target.log"
    rc=0
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
        "$scratch" "$seeds" >"$log" 2>&1 || rc=$?
    grep -E '^(INFO: seed corpus|#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|Done)' "$log" || true
    if [ "$rc" != 0 ]; then
        tail -40 "$log" >&2
        echo "fuzz: $target reported a finding (exit $rc; see $build/findings/)" >&2
        status=1
    fi
    rm -rf "$scratch"
done
exit $status
