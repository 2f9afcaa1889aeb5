#!/usr/bin/env bash
# Builds the picture loader's raster decoders and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) in a build folder of their own, and runs those tests:
# the decoder tables, the streamed pictures, the loader and the corpus of real files, damaged
# ones included.
# Usage: scripts/run-sanitize.sh [BUILD_DIR]   (default build-sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-sanitize}
jobs=$(nproc)
tests=(tst_byte_reader tst_checked_size tst_pixel_budget tst_dib tst_ico tst_gif tst_jpeg tst_streaming tst_picture_loader
       tst_raster_corpus tst_hostile_rasters)

echo "== sanitizer build ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPAVEX_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$jobs" --target "${tests[@]}"

echo "== sanitizer tests"
regex="^($(IFS='|'; echo "${tests[*]}"))\$"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$build" && ctest -R "$regex" --output-on-failure -j "$jobs" --timeout 900)
