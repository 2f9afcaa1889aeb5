#!/usr/bin/env bash
# Opens the sample picture that the build makes, in the built viewer. Without a display it
# starts a virtual one and saves a screenshot instead.
set -euo pipefail
build=${1:-build}
sample="$build/resources/pavex-sample.bmp"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/app/pavex" "$sample"
fi
echo "run-sample: no display; showing the sample on a virtual screen and saving a screenshot"
source "$(dirname "$0")/../tests/e2e/lib.sh"
start_xvfb
"$build/app/pavex" "$sample" &
pid=$!
size=$(identify -format '%wx%h' "$sample")
wait_for_window "pavex $sample ${size}ﾋﾟｸｾﾙ" >/dev/null || fail "the sample did not open"
sleep 0.3
import -window root "$build/sample-screenshot.png"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "run-sample: screenshot in $build/sample-screenshot.png"
