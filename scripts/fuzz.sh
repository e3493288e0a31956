#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour
# sanitizers) in build-fuzz/ and runs each one in turn.
#
# usage: scripts/fuzz.sh [--runs N | --seconds S] [target ...]
#   --runs N     executions per target (default 1000000)
#   --seconds S  time per target instead (the CI's short run)
# Each target starts from the seeds in fuzz/seeds/ and the project's data
# files; what it learns stays in build-fuzz/corpus/<target>/, and an input
# that fails is saved as build-fuzz/artifacts/<target>-crash-* (exit 1).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
limit=(-runs=1000000)
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) limit=(-runs="$2"); shift 2 ;;
        --seconds) limit=(-max_total_time="$2"); shift 2 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[ ${#targets[@]} -gt 0 ] ||
    targets=(fuzz_replies fuzz_prompt_file fuzz_constants fuzz_address_file fuzz_log_line
             fuzz_record_texts)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLINORA_GUI=OFF \
      -DCLINORA_FUZZ=ON -DCLINORA_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

seeds() {  # the seed folders of a target
    case "$1" in
        fuzz_replies) echo "$root/fuzz/seeds/replies" ;;
        fuzz_prompt_file) echo "$root/data/prompts" ;;
        fuzz_constants) echo "$root/tests/data/calib" ;;
        fuzz_address_file) echo "$root/fuzz/seeds/addresses" ;;
        fuzz_log_line) echo "$root/fuzz/seeds/log" ;;
        fuzz_record_texts) echo "$root/tests/data/calib $root/fuzz/seeds/records" ;;
    esac
}

mkdir -p "$build/artifacts"
status=0
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t"
    log="$build/$t.log"
    start=$(date +%s)
    # shellcheck disable=SC2046
    if ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" \
        "$build/fuzz/$t" "${limit[@]}" -max_len=8192 -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" $(seeds "$t") \
            >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
        tail -n 40 "$log"
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "$t: $result, $runs executions in $(( $(date +%s) - start )) s (log: $log)"
done
exit $status
