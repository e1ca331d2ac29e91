#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang and runs each for a share
# of a bounded time. Fails on the first finding (crash, sanitizer report,
# leak or time-out); the input that caused it is left in the build folder.
#
#   scripts/run-fuzzers.sh [TOTAL_SECONDS]      default 60, or $FUZZ_SECONDS
#   FUZZ_BUILD_DIR=...                          default build-fuzz
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
total=${1:-${FUZZ_SECONDS:-60}}

command -v clang++ > /dev/null || { echo "run-fuzzers: clang++ with libFuzzer is needed (apt-get install clang)" >&2; exit 1; }

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2

targets=$(cat "$build/fuzz_targets.txt")
count=$(echo "$targets" | wc -w)
share=$((total / count))
[ "$share" -ge 5 ] || share=5

for target in $targets; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    # Starting points: each base image unchanged (XOR overlay of nothing).
    for i in 0 1 2 3 4 5; do
        seed="$corpus/seed-$i"
        [ -e "$seed" ] || printf "\\$(printf '%03o' $((i * 17)))\\000" > "$seed"
    done
    echo "== $target: $share s"
    if ! "$build/$target" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
            -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" > "$build/$target.log" 2>&1; then
        tail -n 60 "$build/$target.log"
        echo "FUZZ FINDING in $target: see $artifacts and $build/$target.log"
        exit 1
    fi
    grep -E "^stat::number_of_executed_runs|^Done" "$build/$target.log" || true
done
echo "fuzzing: no findings"
