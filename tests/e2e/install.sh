#!/usr/bin/env bash
# `make install` into a scratch prefix: the program, the desktop entry, the icons and the
# manual page land where a Linux desktop looks for them, and each of them validates.
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
make_workdir
prefix="$WORK/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/pavex bin/pavex-render share/applications/pavex.desktop \
         share/icons/hicolor/16x16/apps/pavex.png share/icons/hicolor/32x32/apps/pavex.png \
         share/icons/hicolor/scalable/apps/pavex.svg share/man/man1/pavex.1 \
         share/man/man1/pavex-render.1 share/thumbnailers/pavex.thumbnailer share/pavex/fonts.conf; do
    [ -s "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/pavex" ] || fail "pavex is not executable"

echo "-- the desktop entry validates"
out=$(desktop-file-validate "$prefix/share/applications/pavex.desktop" 2>&1) || fail "$out"
if grep -q -E "error|warning" <<<"$out"; then fail "$out"; fi
desktop=$prefix/share/applications/pavex.desktop
expect_eq "Exec" "$(sed -n 's/^Exec=//p' "$desktop")" "pavex %f"
expect_eq "Name" "$(sed -n 's/^Name=//p' "$desktop")" "pavex"
mimes=$(sed -n 's/^MimeType=//p' "$desktop")
for m in image/bmp image/gif image/jpeg image/vnd.microsoft.icon image/x-icon image/wmf \
         image/x-wmf image/emf image/x-emf; do
    grep -q "\(^\|;\)$m;" <<<"$mimes" || fail "MimeType lacks $m"
done
LC_ALL=C.UTF-8 grep -q -P '^Comment=.*[\x{3040}-\x{30FF}\x{4E00}-\x{9FFF}\x{FF61}-\x{FF9F}]' "$desktop" \
    || fail "the comment is not Japanese"

echo "-- the icons have their sizes, the SVG parses"
expect_eq "16x16 icon" "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/16x16/apps/pavex.png")" 16x16
expect_eq "32x32 icon" "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/32x32/apps/pavex.png")" 32x32
python3 -c 'import sys, xml.dom.minidom as m; d = m.parse(sys.argv[1]); assert d.documentElement.tagName == "svg"; assert len(d.getElementsByTagName("rect")) > 20' \
    "$prefix/share/icons/hicolor/scalable/apps/pavex.svg" || fail "the SVG icon does not parse"
# The corners are transparent and the face is yellow.
expect_eq "icon corner alpha" "$(convert "$prefix/share/icons/hicolor/32x32/apps/pavex.png" -format '%[fx:int(255*p{0,0}.a)]' info:)" 0
expect_eq "icon face" "$(pixel_at "$prefix/share/icons/hicolor/32x32/apps/pavex.png" 16 4)" "255,255,0"

echo "-- the manual page renders without warnings"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/pavex.1" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$prefix/share/man/man1/pavex.1" 2>/dev/null)
for section in SYNOPSIS OPTIONS "EXIT STATUS" FILES; do
    grep -q "^$section" <<<"$page" || fail "the man page lacks $section"
done
grep -q -- "-print" <<<"$page" || fail "the man page does not describe -print"

echo "PASS"
