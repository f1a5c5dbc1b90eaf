#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each
# for a bounded time on its seed corpus and past failures, with the tokens of
# fuzz/dict/<target>.dict.
#   scripts/fuzz.sh [target...]     all targets when none is named
#   FUZZ_SECONDS=600 scripts/fuzz.sh jetdate
# A failing input is left in build-fuzz/fuzz-work/<target>/artifacts/; fix the
# cause, then keep the input in fuzz/regressions/<target>/ so tst_fuzzregressions
# replays it in every test run. Exits non-zero when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
torvane_install_packages clang libclang-rt-14-dev

seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz
all_targets=(translatejet findcriterion jetformat valuecheck jetdate strtjset)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTORVANE_FUZZ=ON >/dev/null
# Two jobs at most: the machine may be running a benchmark beside us.
cmake --build "$build" --target $(printf 'fuzz_%s ' "${targets[@]}") -j2

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"

failed=0
summary=()
for t in "${targets[@]}"; do
    work="$build/fuzz-work/$t"
    mkdir -p "$work/corpus" "$work/artifacts"
    # The working corpus keeps what earlier runs found; seeds and past failures are added each time.
    cp fuzz/corpus/"$t"/* "$work/corpus/"
    if [ -d fuzz/regressions/"$t" ] && [ -n "$(ls -A fuzz/regressions/"$t")" ]; then
        cp fuzz/regressions/"$t"/* "$work/corpus/"
    fi
    log="$work/fuzz.log"
    echo "== fuzz_$t for ${seconds}s"
    start=$(date +%s)
    dict=()
    [ -f fuzz/dict/"$t".dict ] && dict=(-dict=fuzz/dict/"$t".dict)
    if "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${dict[@]}" \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" >"$log" 2>&1; then
        result="ok"
    else
        result="FAILED (see $log, input in $work/artifacts/)"
        failed=1
        grep -E "^($t: |==[0-9]+==ERROR|SUMMARY|.*runtime error)" "$log" | head -5 || true
    fi
    elapsed=$(( $(date +%s) - start ))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ -z "$runs" ]; then
        runs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
    fi
    summary+=("$(printf '%-14s %12s executions %5ss  corpus %5s  %s' "$t" "${runs:-?}" "$elapsed" \
        "$(ls "$work/corpus" | wc -l)" "$result")")
done

echo
echo "Fuzz summary (${seconds}s per target):"
printf '  %s\n' "${summary[@]}"
exit $failed
