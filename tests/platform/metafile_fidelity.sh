#!/usr/bin/env bash
# Scores pavex-render against the corpus's reference renderings of every WMF and EMF at
# 96 dpi, and fails when the median score or the number of good files falls below the
# floor given (what the player reached, less a small margin).
# Usage: metafile_fidelity.sh PAVEX_RENDER CORPUS_DIR FIDELITY_TOOL MIN_MEDIAN MIN_GOOD [ONLY]
# ONLY keeps the files whose name contains it.
# Exits 77 (skipped) where the corpus or the tool is absent.
set -euo pipefail
export LC_ALL=C.UTF-8
render=$1 corpus=$2 tool=$3 min_median=$4 min_good=$5 only=${6:-}

if [ ! -d "$corpus/metafile/reference" ] || [ ! -f "$tool" ]; then
    echo "metafile fidelity: skipped, the corpus or its fidelity tool is absent"
    exit 77
fi

report=$(mktemp)
trap 'rm -f "$report"' EXIT
# The tool needs Debian's python3-numpy and python3-pil.
/usr/bin/python3 "$tool" --render "$render {in} {out} {dpi}" --corpus "$corpus/metafile" \
    --dpi 96 --jobs 2 --out "$report" ${only:+--only "$only"} >/dev/null
summary=$(tail -n 1 "$report")
echo "$summary"
# fidelity: median M, p10 P, good G/N, failures F
median=$(sed -n 's/.*median \([0-9.]*\),.*/\1/p' <<<"$summary")
good=$(sed -n 's/.*good \([0-9]*\)\/.*/\1/p' <<<"$summary")
failures=$(sed -n 's/.*failures \([0-9]*\).*/\1/p' <<<"$summary")
if [ -z "$median" ] || [ -z "$good" ] || [ -z "$failures" ]; then
    echo "metafile fidelity: cannot read the summary" >&2
    exit 1
fi
grep -v -e '^#' -e '^fidelity:' "$report" | awk -F'\t' '$2 != "ok" && $2 != "noref" { print "not rendered: " $0 }'
status=0
if awk -v m="$median" -v f="$min_median" 'BEGIN { exit !(m < f) }'; then
    echo "metafile fidelity: median $median is below $min_median" >&2
    status=1
fi
if [ "$good" -lt "$min_good" ]; then
    echo "metafile fidelity: $good good files, fewer than $min_good" >&2
    status=1
fi
if [ "$failures" -ne 0 ]; then
    echo "metafile fidelity: $failures files failed to render" >&2
    status=1
fi
exit $status
