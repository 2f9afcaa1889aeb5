#!/usr/bin/env bash
# Opening a picture from the command line, as a user sees it: the built pavex under a private
# X server, the caption read back from the X window, and a screenshot of the picture at its
# natural size at the top-left corner of the frame's client area, with grey around it.
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
pavex="$build/app/pavex"
make_workdir
start_xvfb

grey="192,192,192"

echo "-- no arguments: the empty frame"
"$pavex" & pid=$!
on_exit "kill $pid"
wid=$(wait_for_window "pavex 2.1") || fail "no frame titled 'pavex 2.1'"
read -r fx fy fw fh < <(window_geometry "$wid")
screenshot "$WORK/empty.png"
# The client area is 312 x 213 and light grey; the menu bar is above it.
expect_eq "frame width" "$fw" 312
expect_eq "client area, bottom-left" "$(pixel_at "$WORK/empty.png" $((fx + 1)) $((fy + fh - 2)))" "$grey"
expect_eq "client area, bottom-right" "$(pixel_at "$WORK/empty.png" $((fx + fw - 2)) $((fy + fh - 2)))" "$grey"
kill "$pid"; wait "$pid" 2>/dev/null || true

echo "-- a picture with a blank and Japanese in its name, with no locale set at all"
picture="$WORK/猫の 写真.bmp"
solid_bmp "$picture" 123 45 "#ff00ff"
env -u LC_ALL -u LANG -u LANGUAGE "$pavex" "$picture" & pid=$!
on_exit "kill $pid"
wid=$(wait_for_window "pavex $picture 123x45ﾋﾟｸｾﾙ") || fail "no frame with the picture's caption"
sleep 0.3
read -r fx fy fw fh < <(window_geometry "$wid")
screenshot "$WORK/picture.png"
read -r pw ph px py < <(colour_box "$WORK/picture.png" "#ff00ff")
expect_eq "picture size on screen" "$pw x $ph" "123 x 45"
expect_eq "picture left" "$px" "$fx"
client_top=$((fy + fh - 213))
expect_eq "picture top = client area top" "$py" "$client_top"
expect_eq "right of the picture" "$(pixel_at "$WORK/picture.png" $((px + 123)) $((py + 10)))" "$grey"
# Up to the first picture on screen nothing of the toolkit's image-format plug-ins is loaded:
# the program's own decoders read the picture.
if grep -q "plugins/imageformats/\|plugins/iconengines/" "/proc/$pid/maps"; then
    fail "a plug-in the first picture does not need was loaded: $(grep -o 'plugins/[a-z]*/[^ ]*' "/proc/$pid/maps" | sort -u | tr '\n' ' ')"
fi
expect_eq "below the picture" "$(pixel_at "$WORK/picture.png" $((px + 10)) $((py + 45)))" "$grey"
kill "$pid"; wait "$pid" 2>/dev/null || true

echo "-- the same under a locale this machine does not have"
env LC_ALL=fr_FR.UTF-8 "$pavex" "$picture" & pid=$!
on_exit "kill $pid"
wait_for_window "pavex $picture 123x45ﾋﾟｸｾﾙ" >/dev/null || fail "no caption under LC_ALL=fr_FR.UTF-8"
kill "$pid"; wait "$pid" 2>/dev/null || true

echo "-- an unreadable file: the message, then the empty frame"
echo "not a picture" >"$WORK/notes.bmp"
"$pavex" "$WORK/notes.bmp" & pid=$!
on_exit "kill $pid"
box=$(answer_message_box) || fail "no message box"
wid=$(wait_for_window "pavex 2.1") || fail "the frame did not keep its design caption"
kill "$pid"; wait "$pid" 2>/dev/null || true

echo "-- a name in double quotes fails the same way"
"$pavex" "\"$picture\"" & pid=$!
on_exit "kill $pid"
answer_message_box >/dev/null || fail "no message box for a quoted name"
wait_for_window "pavex 2.1" >/dev/null || fail "the frame did not keep its design caption"
kill "$pid"; wait "$pid" 2>/dev/null || true

echo "PASS"
