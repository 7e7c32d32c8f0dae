#!/usr/bin/env bash
# Builds the fuzz programs with clang in build-fuzz/ (libFuzzer, AddressSanitizer, UBSan) and
# runs each for a bounded time, starting from its seed and regression inputs in tests/fuzz/.
# Prints per target the inputs run and the coverage reached. Any finding (a crash, a sanitizer
# report, a leak, a time-out) fails the script; the input is left in build-fuzz/findings/.
#
#   tools/fuzz.sh [seconds per target, default 20] [target ...]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build-fuzz
seconds=${1:-20}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(config credentials entries paths version formula smtp mibtext mibdb)

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTESSARO_FUZZ=ON -DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCH=OFF -DTESSARO_ALLOW_EMPTY_MIBDB=ON
fi
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/findings"
# The readers of files get their input through a temporary file: in memory it is ten times faster.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
failed=()
printf '%-12s %12s %8s %s\n' target executions cov result
for target in "${targets[@]}"; do
    # New inputs go to the first folder, outside the repository; the seeds stay as they are.
    folders=("$build/corpus/$target")
    mkdir -p "${folders[0]}"
    for kind in corpus regressions; do
        [ -d "$repo/tests/fuzz/$kind/$target" ] && folders+=("$repo/tests/fuzz/$kind/$target")
    done
    log=$build/findings/$target.log
    result=ok
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS=suppressions=$repo/tests/lsan.supp:print_suppressions=0 QT_QPA_PLATFORM=offscreen \
        "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "${folders[@]}" >"$log" 2>&1 || result="FINDING, see $log"
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    printf '%-12s %12s %8s %s\n' "$target" "${runs:-?}" "${cov:-?}" "$result"
    [ "$result" = ok ] || failed+=("$target")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in ${failed[*]}" >&2
    exit 1
fi
