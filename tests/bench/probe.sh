#!/usr/bin/env bash
# The benchmark's screen probe, end to end: it must see the marker of a generated picture
# shown by the floor program, at the picture's place, and must not see it where it is not
# (a near colour, a program that ends without showing anything). Its run mode must report a
# program's exit status.
set -euo pipefail
build=$1
source "$(dirname "$0")/../e2e/lib.sh"
probe="$build/bench/bench-probe"
floor="$build/bench/floor"
make_workdir
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# field NAME LINE: the value of NAME=... in the probe's line.
field() {
    tr ' ' '\n' <<<"$2" | sed -n "s/^$1=//p"
}

echo "-- the floor shows a generated picture: the marker at its top-left corner"
"$build/bench/make-picture" bmp 320 200 >"$WORK/marked.bmp"
line=$("$probe" screen --timeout 20 -- "$floor" "$WORK/marked.bmp") || fail "not shown: $line"
echo "$line"
# The floor's scroll area has a frame of one pixel around the picture.
expect_eq "marker place" "$(field at "$line")" "1,1"
ms=$(field ms "$line")
hwm=$(field hwm_kb "$line")
[ "${ms%.*}" -gt 0 ] && [ "${ms%.*}" -lt 20000 ] || fail "implausible time $ms"
# A Qt program with a window holds some megabytes; a wrong field would read 0 or -1.
[ "$hwm" -gt 4000 ] || fail "implausible peak memory $hwm kB"

echo "-- a picture without the marker's colour is never taken for it"
solid_bmp "$WORK/near.bmp" 320 200 "rgb(17,200,83)"
status=0
line=$("$probe" screen --timeout 3 -- "$floor" "$WORK/near.bmp") || status=$?
expect_eq "status without a marker" "$status" 3
expect_eq "line without a marker" "$line" "missed reason=timeout"

echo "-- a program that ends without a window"
status=0
line=$("$probe" screen --timeout 10 -- "$floor" "$WORK/missing.bmp") || status=$?
expect_eq "status of an early end" "$status" 3
expect_eq "line of an early end" "$line" "missed reason=exit:1"

echo "-- run mode: the exit status and the peak memory of a whole run"
line=$("$probe" run -- "$floor" --decode-only "$WORK/marked.bmp")
expect_eq "decode-only status" "$(field status "$line")" 0
[ "$(field maxrss_kb "$line")" -gt 1000 ] || fail "implausible peak memory: $line"
line=$("$probe" run -- "$floor" --decode-only "$WORK/near-missing.bmp")
expect_eq "decode-only status of a missing file" "$(field status "$line")" "exit:1"
status=0
"$probe" run -- "$WORK/no-such-program" >/dev/null 2>&1 || status=$?
expect_eq "a program that cannot start is the harness's failure" "$status" 1

echo "PASS"
