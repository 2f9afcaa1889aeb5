#!/usr/bin/env bash
# The About window in the built program under a private X server: F1 in the frame shows it
# at its place and size with its look, a real left drag moves it by the pointer's travel,
# the maker's name hands the home page to the browser (a recorder stands in for it through
# xdg-open's BROWSER), and the run outlives the frame until the About window is closed.
set -euo pipefail
BUILD=$1
source "$(dirname "$0")/lib.sh"

make_workdir
start_xvfb

# The browser that xdg-open calls: it records the address it was given.
cat >"$WORK/browser" <<'SH'
#!/bin/sh
printf '%s\n' "$@" >>"${0%/*}/opened"
SH
chmod +x "$WORK/browser"
export BROWSER="$WORK/browser"
# No desktop and no registered URL handlers: xdg-open goes straight to BROWSER.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID \
      XDG_SESSION_DESKTOP MATE_DESKTOP_SESSION_ID
mkdir -p "$WORK/home" "$WORK/share" "$WORK/config"
export HOME="$WORK/home" XDG_DATA_HOME="$WORK/share" XDG_DATA_DIRS="$WORK/share" \
       XDG_CONFIG_HOME="$WORK/config" XDG_CONFIG_DIRS="$WORK/config"

home_page=$(sed -n 's/.*HomePage = QStringLiteral("\(.*\)");.*/\1/p' "$PAVEX_SOURCE/about/about_window.h")
[ -n "$home_page" ] || fail "cannot read the home page address"

"$BUILD/app/pavex" >"$WORK/pavex.log" 2>&1 &
pid=$!
on_exit "kill $pid"

# Types keys $2 into window $1 until the command after them succeeds: the program may take
# the focus a moment after the X server gave it, and a key typed before is lost.
type_until() {
    local window=$1 keys=$2 try i
    shift 2
    for (( try=0; try<5; try++ )); do
        xdotool windowfocus --sync "$window" 2>/dev/null || true
        xdotool key "$keys"
        for (( i=0; i<30; i++ )); do
            "$@" && return 0
            sleep 0.1
        done
    done
    return 1
}

# The About window has an empty caption; its _NET_WM_NAME is the application's name.
about_shown() {
    local id
    for id in $(xdotool search --onlyvisible --name "" 2>/dev/null); do
        if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "pavex" ]; then
            about=$id
            return 0
        fi
    done
    return 1
}

frame_gone() {
    ! xwininfo -id "$frame" 2>/dev/null | grep -q IsViewable
}

frame=$(wait_for_window "pavex 2.1") || fail "the frame did not appear"
type_until "$frame" F1 about_shown || fail "F1 showed no About window"

# Outer window: the client area at 186, 159 (2790, 2385 twips), 251 x 74, in a 3-pixel frame.
read -r x y w h < <(window_geometry "$about")
[ "$x $y $w $h" = "183 156 257 80" ] || fail "About window at $x,$y size ${w}x$h"

shot="$WORK/about.png"
for (( i=0; i<50; i++ )); do
    screenshot "$shot"
    [ "$(pixel_at "$shot" 184 157)" = "255,255,255" ] && break
    sleep 0.1
done

expect_pixel() {
    local got
    got=$(pixel_at "$shot" "$1" "$2")
    [ "$got" = "$3" ] || fail "pixel $1,$2 is $got, expected $3 ($4)"
}
expect_pixel 183 156 192,192,192 "frame, outer top-left"
expect_pixel 184 157 255,255,255 "frame, highlight"
expect_pixel 439 235 0,0,0 "frame, outer bottom-right"
expect_pixel 438 234 128,128,128 "frame, shadow"
expect_pixel 191 189 192,192,192 "background"
expect_pixel 426 159 128,128,128 "close picture, grey corner"
expect_pixel 428 161 0,0,0 "close picture, row 3 column 3"
expect_pixel 431 164 0,0,0 "close picture, centre of the X"
expect_pixel 431 161 128,128,128 "close picture, row 3 column 6"
expect_pixel 436 169 128,128,128 "close picture, bottom-right corner"

# Pixels of a box (screen x, y, w, h) that pass an fx test.
count_in() {
    convert "$shot" -crop "$3x$4+$1+$2" +repage -fx "$5" -format '%[fx:round(mean*w*h)]' info:
}
# Kept in the build folder for a look.
cp "$shot" "$BUILD/tests/e2e/about-screenshot.png"

blue=$(count_in 330 215 41 17 '(b>0.8 && r<0.4 && g<0.4) ? 1 : 0')
[ "$blue" -ge 40 ] || fail "Label1 shows $blue blue pixels"
dark=$(count_in 194 199 233 17 '(r<0.4 && g<0.4 && b<0.4) ? 1 : 0')
[ "$dark" -ge 150 ] || fail "Label3 shows $dark dark pixels"
dark=$(count_in 282 167 57 25 '(r<0.4 && g<0.4 && b<0.4) ? 1 : 0')
[ "$dark" -ge 60 ] || fail "Label2 shows $dark dark pixels"

wait_for_geometry() {
    local i got
    for (( i=0; i<50; i++ )); do
        got=$(window_geometry "$about")
        [ "$got" = "$1" ] && return 0
        sleep 0.1
    done
    fail "$2: About window at $got, expected $1"
}

# A right drag and a left drag that starts on a label leave it where it is.
xdotool mousemove 206 179 mousedown 3 mousemove 236 199 mousemove 266 219 mouseup 3
xdotool mousemove 220 205 mousedown 1 mousemove 250 225 mousemove 280 245 mouseup 1
sleep 0.3
wait_for_geometry "183 156 257 80" "after a right drag and a drag from a label"

# A left drag from the bare background: the window follows the pointer 60 right, 40 down.
xdotool mousemove 206 179 mousedown 1
xdotool mousemove 226 189
xdotool mousemove 246 209
xdotool mousemove 266 219 mouseup 1
wait_for_geometry "243 196 257 80" "after a left drag"
screenshot "$WORK/moved.png"
[ "$(pixel_at "$WORK/moved.png" 244 197)" = "255,255,255" ] || fail "the frame did not move along"

# The maker's name (now at 390..430, 255..271) hands the home page to the browser.
xdotool mousemove 410 263 click 1
for (( i=0; i<100; i++ )); do
    [ -s "$WORK/opened" ] && break
    sleep 0.1
done
[ -s "$WORK/opened" ] || fail "the link started no browser"
[ "$(cat "$WORK/opened")" = "$home_page" ] || fail "the browser got: $(cat "$WORK/opened")"
wait_for_geometry "243 196 257 80" "after the link"

# Closing the frame leaves the About window, and the run goes on.
type_until "$frame" ctrl+x frame_gone || fail "Ctrl+X left the frame open"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the run ended with the frame although the About window was open"
xwininfo -id "$about" | grep -q IsViewable || fail "the About window closed with the frame"

# The close picture (now at 486..496, 199..209) closes the last window: the run ends.
xdotool mousemove 491 204 click 1
wait_for_process_exit "$pid" || fail "the run did not end with its last window"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
echo "about: ok"
