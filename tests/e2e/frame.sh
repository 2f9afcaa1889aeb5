#!/usr/bin/env bash
# The frame as a user drives it under a private X server: Ctrl+O typed into the real Open
# dialog, real XDND drops from a small drag source onto the picture, the viewer window and
# the client area, Ctrl+X; and the run leaves no file in an empty home and XDG folders.
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
pavex="$build/app/pavex"
source_app="$build/tests/e2e/drag-source"
make_workdir
start_xvfb

# An empty home and XDG folders that must stay empty.
for d in home config cache data state; do mkdir -p "$WORK/$d"; done
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache"
export XDG_DATA_HOME="$WORK/data" XDG_STATE_HOME="$WORK/state"

mkdir -p "$WORK/pics"
solid_bmp "$WORK/pics/first.bmp" 70 50 "#ff00ff"
solid_bmp "$WORK/pics/second.bmp" 40 30 "#00ffff"
solid_bmp "$WORK/pics/third.bmp" 20 10 "#ffff00"

# Drags the files "$@" from the drag source to the screen point (TX, TY) and drops them.
# Returns the drag source's status: 0 when the drop was taken, 3 when it was refused.
drag_to() {
    local tx=$TX ty=$TY status=0 sid i
    "$source_app" "$@" & local spid=$!
    sid=$(wait_for_window "drag source") || fail "no drag source window"
    sleep 0.2
    xdotool mousemove --sync 650 450
    xdotool mousedown 1
    for i in 1 2 3 4 5 6 7 8; do
        xdotool mousemove --sync $((650 + (tx - 650) * i / 8)) $((450 + (ty - 450) * i / 8))
        sleep 0.05
    done
    sleep 0.2
    xdotool mouseup 1
    wait_for_process_exit "$spid" 10 || { kill "$spid"; fail "the drag did not end"; }
    wait "$spid" || status=$?
    return "$status"
}

echo "-- Ctrl+O and the real Open dialog"
"$pavex" & pid=$!
on_exit "kill $pid"
wid=$(wait_for_window "pavex 2.1") || fail "no frame"
read -r fx fy fw fh < <(window_geometry "$wid")
client_x=$fx; client_y=$((fy + fh - 213))
xdotool windowfocus --sync "$wid"
xdotool key ctrl+o
for (( i=0; i<100; i++ )); do
    dialog=$(xdotool search --onlyvisible --name '' 2>/dev/null | while read -r id; do
        n=$(xdotool getwindowname "$id" 2>/dev/null || true)
        [ "$id" != "$wid" ] && [ -n "$n" ] && [ "$n" != "drag source" ] && echo "$id"
    done | tail -1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || fail "no Open dialog"
screenshot "$build/e2e-open-dialog.png"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 5 "$WORK/pics/first.bmp"
xdotool key Return
wait_for_window "pavex $WORK/pics/first.bmp 70x50ﾋﾟｸｾﾙ" >/dev/null || fail "the dialog's choice was not opened"

echo "-- three files dropped on the picture: the first opens"
TX=$((client_x + 10)) TY=$((client_y + 10)) drag_to "$WORK/pics/second.bmp" "$WORK/pics/third.bmp" "$WORK/pics/first.bmp" \
    || fail "the drop on the picture was refused"
wait_for_window "pavex $WORK/pics/second.bmp 40x30ﾋﾟｸｾﾙ" >/dev/null || fail "the drop on the picture did not open the first file"

echo "-- text dropped on the client area is refused"
status=0
TX=$((client_x + 250)) TY=$((client_y + 180)) drag_to --text "$WORK/pics/third.bmp" || status=$?
expect_eq "drag source status for text" "$status" 3
expect_eq "caption after a text drop" "$(window_name "$wid")" "pavex $WORK/pics/second.bmp 40x30ﾋﾟｸｾﾙ"

echo "-- one file dropped on the empty client area"
TX=$((client_x + 250)) TY=$((client_y + 180)) drag_to "$WORK/pics/third.bmp" || fail "the drop on the client area was refused"
wait_for_window "pavex $WORK/pics/third.bmp 20x10ﾋﾟｸｾﾙ" >/dev/null || fail "the drop on the client area did not open"

echo "-- Ctrl+X ends the program at once"
xdotool windowfocus --sync "$wid"
xdotool key ctrl+x
wait_for_process_exit "$pid" 5 || fail "Ctrl+X did not end the program"
status=0; wait "$pid" || status=$?
expect_eq "exit status after Ctrl+X" "$status" 0

echo "-- a file dropped on the uncovered part of an empty viewer window"
"$pavex" "$WORK/pics/missing.bmp" & pid=$!
on_exit "kill $pid"
answer_message_box >/dev/null || fail "no message box"
wid=$(wait_for_window "pavex 2.1") || fail "no frame"
read -r fx fy fw fh < <(window_geometry "$wid")
# The empty viewer window is 60 x 45 at the client area's corner; its picture control 9 x 9.
TX=$((fx + 40)) TY=$((fy + fh - 213 + 30)) drag_to "$WORK/pics/first.bmp" || fail "the drop on the viewer window was refused"
wait_for_window "pavex $WORK/pics/first.bmp 70x50ﾋﾟｸｾﾙ" >/dev/null || fail "the drop on the viewer window did not open"
xdotool windowfocus --sync "$wid"
xdotool key ctrl+x
wait_for_process_exit "$pid" 5 || fail "Ctrl+X did not end the program"

echo "-- nothing was written to the home and XDG folders"
left=$(find "$WORK/home" "$WORK/config" "$WORK/cache" "$WORK/data" "$WORK/state" -mindepth 1 | head -5)
[ -z "$left" ] || fail "files were written: $left"

echo "PASS"
