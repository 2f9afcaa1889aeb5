#!/usr/bin/env bash
# pavex-render as a user and as the desktop call it: PDF and SVG of a metafile read back by
# poppler and librsvg, thumbnails by --size, clear errors that leave no file behind, and the
# thumbnailer run inside the sandbox GNOME's thumbnail factory uses, and by that factory itself.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
render="$build/tools/pavex-render"
make_workdir
corpus=${PAVEX_CORPUS:-}
emf="$corpus/metafile/emf/libemf2svg__test-031.emf"
if [ ! -f "$emf" ]; then
    echo "render: skipped, the corpus is absent"
    exit 0
fi

# Fails unless $1 and $2 differ by at most 1; $3 says what is compared.
expect_near() {
    local d=$(( $1 - $2 ))
    [ "${d#-}" -le 1 ] || fail "$3: expected $2 (±1), got $1"
}

echo "-- PDF: one page of the picture's own extent, its text as text in embedded fonts"
"$render" "$emf" "$WORK/chart.pdf"
expect_eq "page size" "$(pdfinfo "$WORK/chart.pdf" | sed -n 's/^Page size: *\([0-9.]* x [0-9.]*\) pts.*/\1/p')" "504 x 360"
expect_eq "pages" "$(pdfinfo "$WORK/chart.pdf" | awk '/^Pages:/{print $2}')" 1
fonts=$(pdffonts "$WORK/chart.pdf" | tail -n +3)
[ -n "$fonts" ] || fail "the PDF has no fonts"
awk '$(NF-4) != "yes" {exit 1}' <<<"$fonts" || fail "a font is not embedded: $fonts"
pdftotext "$WORK/chart.pdf" - | grep -q "S u r fa c e" || fail "the title cannot be read back"

echo "-- SVG: the picture's own size, text as text, drawn back by librsvg"
"$render" "$emf" "$WORK/chart.svg"
grep -q '<svg width="177.8mm" height="127mm"' "$WORK/chart.svg" || fail "the SVG's size is not the extent"
grep -q "<text" "$WORK/chart.svg" || fail "the SVG has no text"
rsvg-convert "$WORK/chart.svg" -o "$WORK/chart-svg.png"
read -r w h < <(identify -format '%w %h\n' "$WORK/chart-svg.png")
expect_near "$w" 672 "SVG width"; expect_near "$h" 480 "SVG height"

echo "-- --size: fitted, aspect kept; a raster picture never enlarged; a metafile drawn at the size"
"$render" --size 128 "$emf" "$WORK/thumb.png"
expect_eq "thumbnail size" "$(identify -format '%wx%h' "$WORK/thumb.png")" 128x91
"$render" --size 1024 "$emf" "$WORK/big.png"
expect_eq "enlarged metafile" "$(identify -format '%wx%h' "$WORK/big.png")" 1024x731
solid_bmp "$WORK/small.bmp" 40 30 "#ff00ff"
"$render" --size 256 "$WORK/small.bmp" "$WORK/small.png"
expect_eq "small raster" "$(identify -format '%wx%h' "$WORK/small.png")" 40x30

# Runs pavex-render "$@", expecting status 1, one line on standard error and no output file.
expect_refused() {
    local out=${*: -1} status=0
    "$render" "$@" 2>"$WORK/stderr" || status=$?
    expect_eq "exit status of pavex-render $*" "$status" 1
    expect_eq "lines on standard error" "$(wc -l <"$WORK/stderr")" 1
    [ ! -e "$out" ] || fail "pavex-render $* left $out behind"
}
echo "-- errors: one line, status 1, no file left behind"
mkdir "$WORK/out"
expect_refused "$emf" "$WORK/out/chart.jpg"
grep -q "unknown kind of output" "$WORK/stderr" || fail "said: $(cat "$WORK/stderr")"
expect_refused "$emf" "$WORK/no such folder/chart.png"
grep -q "cannot write" "$WORK/stderr" || fail "said: $(cat "$WORK/stderr")"
echo "not a picture" >"$WORK/notes.emf"
for kind in png pdf svg; do
    expect_refused "$WORK/notes.emf" "$WORK/out/notes.$kind"
done
expect_eq "files left in the output folder" "$(ls -A "$WORK/out" | wc -l)" 0

echo "-- the thumbnailer inside GNOME's sandbox"
# The sandbox shows /usr alone: install under it, and take it away afterwards.
prefix=$(mktemp -d /usr/local/lib/pavex-e2e.XXXXXX)
on_exit "rm -rf '$prefix'"
cmake --install "$build" --prefix "$prefix" >/dev/null
thumbnailer="$prefix/share/thumbnailers/pavex.thumbnailer"
[ -s "$thumbnailer" ] || fail "no thumbnailer installed"
expect_eq "Exec" "$(sed -n 's/^Exec=//p' "$thumbnailer")" "pavex-render --size %s %i %o"
for m in image/wmf image/x-wmf image/emf image/x-emf application/x-msmetafile; do
    grep -q "^MimeType=\(.*;\)\?$m;" "$thumbnailer" || fail "the thumbnailer lacks $m"
done
sandbox_out="$WORK/sandbox"
mkdir -m 700 "$sandbox_out"
# The arguments of gnome-desktop's thumbnail script (bubblewrap, no network, /usr read-only,
# the input bound into the sandbox's /tmp, which is the output's folder).
sandboxed() {
    bwrap --ro-bind /usr /usr --ro-bind /etc/ld.so.cache /etc/ld.so.cache \
        --ro-bind-try /var/cache/fontconfig /var/cache/fontconfig \
        --symlink usr/lib /lib --symlink usr/lib64 /lib64 --symlink usr/bin /bin --symlink usr/sbin /sbin \
        --proc /proc --dev /dev --chdir / --setenv GIO_USE_VFS local --unshare-all --die-with-parent \
        --bind "$sandbox_out" /tmp --ro-bind "$emf" /tmp/gnome-desktop-file-to-thumbnail.emf \
        env -u XDG_RUNTIME_DIR -u FONTCONFIG_FILE "$@"
}
if ! sandboxed /usr/bin/true 2>"$WORK/bwrap.err"; then
    echo "-- (skipped: this machine refuses the sandbox: $(head -1 "$WORK/bwrap.err"))"
else
    start=$(date +%s%N)
    sandboxed "$prefix/bin/pavex-render" --size 256 /tmp/gnome-desktop-file-to-thumbnail.emf \
        /tmp/gnome-desktop-thumbnailer.png 2>"$WORK/sandbox.err" || fail "the sandboxed run failed: $(cat "$WORK/sandbox.err")"
    echo "   thumbnail in the sandbox: $(( ($(date +%s%N) - start) / 1000000 )) ms"
    # Nothing but the output was written; the text was drawn as outside the sandbox.
    # (bubblewrap itself leaves the empty mount point of the input there.)
    expect_eq "files the sandboxed run wrote" \
        "$(ls -A "$sandbox_out" | grep -v '^gnome-desktop-file-to-thumbnail.emf$')" "gnome-desktop-thumbnailer.png"
    "$render" --size 256 "$emf" "$WORK/outside.png"
    expect_eq "the sandboxed thumbnail against one made outside" \
        "$(compare -metric AE "$sandbox_out/gnome-desktop-thumbnailer.png" "$WORK/outside.png" null: 2>&1)" 0
    # Our own font configuration was read: fontconfig found its configuration and its cache
    # and said nothing.
    [ ! -s "$WORK/sandbox.err" ] || fail "the sandboxed run said: $(cat "$WORK/sandbox.err")"

    largest=$(ls -S "$corpus"/metafile/emf/*.emf "$corpus"/metafile/wmf/*.wmf | sed -n 1p)
    cp "$largest" "$WORK/largest"
    best=999999
    for round in 1 2 3; do
        start=$(date +%s%N)
        bwrap --ro-bind /usr /usr --ro-bind /etc/ld.so.cache /etc/ld.so.cache \
            --ro-bind-try /var/cache/fontconfig /var/cache/fontconfig --symlink usr/lib /lib \
            --symlink usr/lib64 /lib64 --proc /proc --dev /dev --unshare-all --die-with-parent \
            --bind "$sandbox_out" /tmp --ro-bind "$WORK/largest" /tmp/largest \
            env -u XDG_RUNTIME_DIR "$prefix/bin/pavex-render" --size 256 /tmp/largest /tmp/largest.png \
            || fail "the largest metafile made no thumbnail"
        ms=$(( ($(date +%s%N) - start) / 1000000 ))
        if [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "   thumbnail of the largest metafile ($(basename "$largest"), $(stat -c %s "$largest") bytes): $best ms"

    echo "-- GNOME's thumbnail factory calls it"
    mkdir -p "$WORK/home"
    if HOME="$WORK/home" XDG_CACHE_HOME="$WORK/home/.cache" XDG_DATA_DIRS="$prefix/share:/usr/share" \
        PATH="$prefix/bin:$PATH" /usr/bin/python3 - "$emf" "$WORK/factory.png" <<'PY'
import sys
import gi
gi.require_version('GnomeDesktop', '3.0')
from gi.repository import GnomeDesktop, Gio
path, out = sys.argv[1], sys.argv[2]
factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.NORMAL)
uri = Gio.File.new_for_path(path).get_uri()
pixbuf = factory.generate_thumbnail(uri, 'image/emf', None)
if pixbuf is None:
    sys.exit('the factory made no thumbnail')
pixbuf.savev(out, 'png', [], [])
PY
    then
        read -r w h < <(identify -format '%w %h\n' "$WORK/factory.png")
        [ "$w" -le 128 ] && [ "$h" -le 128 ] && [ "$w" -ge 100 ] || fail "the factory's thumbnail is ${w}x${h}"
        "$render" --size 128 "$emf" "$WORK/outside-128.png"
        diff=$(compare -metric AE "$WORK/factory.png" "$WORK/outside-128.png" null: 2>&1 || true)
        [ "$diff" = 0 ] || fail "the factory's thumbnail differs from pavex-render's in $diff pixels"
    else
        fail "GNOME's thumbnail factory failed"
    fi
fi

echo "PASS"
