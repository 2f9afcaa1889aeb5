#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) and runs each for a bounded time, seeded from ../shared/corpus where present.
#   fuzz/run.sh short                   about a minute in all (make test)
#   fuzz/run.sh long                    an hour per target (make fuzz)
#   fuzz/run.sh one TARGET SECONDS      one target alone
# Cost counts like a crash: an input that takes more than 2 s or grows the process past 1 GB
# fails the run. A crash, a leak, undefined behaviour, a slow or a greedy input ends the run
# with a non-zero status; the input that caused it is kept in build-fuzz/artifacts/.
set -euo pipefail
# Whatever locale the caller has, or none.
export LC_ALL=C.UTF-8
cd "$(dirname "$0")/.."
targets=(fuzz_metafile fuzz_dib fuzz_loader)
usage() {
    echo "usage: fuzz/run.sh short|long|one TARGET SECONDS" >&2
    exit 2
}
mode=${1:-short}
only=
case "$mode" in
    short) seconds=20 ;;
    long) seconds=3600 ;;
    one)
        [ $# -eq 3 ] || usage
        only=$2
        seconds=$3
        [[ " ${targets[*]} " == *" $only "* ]] || usage
        [[ "$seconds" =~ ^[0-9]+$ ]] || usage
        ;;
    *) usage ;;
esac
build=build-fuzz
corpus=${PAVEX_CORPUS:-../shared/corpus}

echo "== fuzz build ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DPAVEX_FUZZ=ON -DPAVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target ${only:-${targets[@]}}

mkdir -p "$build/artifacts"
run() {
    local target=$1
    shift
    [ -z "$only" ] || [ "$only" = "$target" ] || return 0
    local work="$build/corpus/$target"
    mkdir -p "$work"
    local seeds=()
    for dir in "$@"; do
        [ -d "$dir" ] && seeds+=("$dir")
    done
    echo "== $target for ${seconds}s (seeds: ${seeds[*]:-none})"
    local log="$build/$target.log"
    local rc=0
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
        LSAN_OPTIONS=suppressions="$PWD/fuzz/lsan.supp":print_suppressions=0 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/$target" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=1024 \
        -max_len=131072 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$work" "${seeds[@]}" >"$log" 2>&1 || rc=$?
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|SUMMARY)|ERROR' "$log" || true
    [ "$rc" -eq 0 ] || echo "$target: failed (status $rc), see $log" >&2
    return "$rc"
}
status=0
run fuzz_metafile "$corpus/metafile/wmf" "$corpus/metafile/emf" "$corpus/metafile/bad" || status=1
run fuzz_dib "$corpus/raster/bmp/good" "$corpus/raster/bmp/q" "$corpus/raster/bmp/bad" || status=1
run fuzz_loader "$corpus/raster/jpeg/good" "$corpus/raster/jpeg/bad" "$corpus/raster/ico/good" \
    "$corpus/raster/ico/bad" "$corpus/raster/gif/bad" "$corpus/raster/bmp/good" || status=1
exit $status
