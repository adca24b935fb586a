#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset, clang) and runs each for a
# bounded time, SECONDS each (default 60), starting from its corpus in
# tests/fuzz/corpus. Fails when a target finds a crash; the input that caused
# it is left in build/fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

status=0
for target in fuzz_texts fuzz_walk fuzz_command_line; do
    findings=build/fuzz/findings/$target
    work=build/fuzz/work/$target
    mkdir -p "$findings" "$work"
    echo "=== $target: $seconds s ==="
    # New inputs go to a scratch folder; the committed corpus is only read.
    if build/fuzz/tests/fuzz/$target -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$target" \
        >"build/fuzz/$target.log" 2>&1; then
        grep -E '^stat::number_of_executed_units' "build/fuzz/$target.log" || true
    else
        echo "$target failed; its log:" >&2
        tail -n 60 "build/fuzz/$target.log" >&2
        status=1
    fi
done
exit $status
