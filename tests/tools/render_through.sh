#!/usr/bin/env bash
# Renders a picture through pavex-render's PDF or SVG output and back to a PNG, so that the
# fidelity tool can score those outputs like the PNG path:
#   render_through.sh pdf|svg PAVEX_RENDER IN OUT.png DPI
# PDF pages are read back with pdftoppm, SVG with rsvg-convert (librsvg), at DPI.
set -euo pipefail
kind=$1 render=$2 in=$3 out=$4 dpi=$5
tmp=$(mktemp -d "${TMPDIR:-/tmp}/pavex-through.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
"$render" "$in" "$tmp/picture.$kind"
case "$kind" in
    pdf) pdftoppm -r "$dpi" -png -singlefile "$tmp/picture.pdf" "$tmp/page"
         mv "$tmp/page.png" "$out" ;;
    svg) rsvg-convert --dpi-x "$dpi" --dpi-y "$dpi" "$tmp/picture.svg" -o "$out" ;;
    *) echo "render_through.sh: pdf or svg, not $kind" >&2; exit 2 ;;
esac
