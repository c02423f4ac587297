#!/bin/sh
# Runs every fuzz target for a bounded time: bench/fuzz/run.sh BUILD_DIR [SECONDS]
# New inputs go to BUILD_DIR/fuzz-corpus/<target>; the committed seeds in
# corpus/<target> are only read. A crash leaves its input in
# BUILD_DIR/fuzz-artifacts and makes this script fail.
set -u
build=${1:?usage: run.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
status=0
mkdir -p "$build/fuzz-artifacts"
for target in fuzz_replyreceiver fuzz_conversions fuzz_commandframe fuzz_portfile; do
    binary="$build/fuzz/$target"
    if [ ! -x "$binary" ]; then
        echo "$target: not built"
        status=1
        continue
    fi
    mkdir -p "$build/fuzz-corpus/$target" "$here/corpus/$target"
    log="$build/fuzz-artifacts/$target.log"
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/fuzz-artifacts/$target-" -print_final_stats=1 \
        "$build/fuzz-corpus/$target" "$here/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
        echo "$target: clean, $runs runs in ${seconds} s, $cov"
    else
        echo "$target: FAILED, see $log"
        grep -E 'ERROR|check failed|runtime error' "$log" | head -5
        status=1
    fi
done
exit $status
