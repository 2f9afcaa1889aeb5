#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: unit and
# widget tests on the offscreen platform, end-to-end tests under private Xvfb servers and a
# private CUPS daemon (each test starts and stops its own), the sanitizer build and the
# bounded fuzzing runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== build ($build)"
cmake -S . -B "$build" -G Ninja -DPAVEX_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs"

echo "== tests"
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 900)
bash scripts/run-sanitize.sh "${build}-sanitize"
bash fuzz/run.sh short
