#!/usr/bin/env bash
# Runs the benchmarks against a built tree: bench/run.sh [BUILD_DIR]   (default build)
set -euo pipefail
build=${1:-build}
echo "== opening a 100-megapixel JPEG"
"$build/bench/bench_jpeg_100mp" 3
