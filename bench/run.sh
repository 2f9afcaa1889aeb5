#!/usr/bin/env bash
# make bench: how soon pavex puts a picture on screen and what it costs, against the floor
# program (a bare Qt viewer, bench/floor.cpp) and feh where installed.
#
#   bash bench/run.sh [BUILD]
#
# Makes its pictures once (cached in BUILD/bench/pictures), then runs every program on every
# picture in turn, round after round, each run on a fresh private Xvfb watched by
# bench-probe (bench/probe.cpp). Then pavex-render against the floor's --decode-only mode,
# and pavex-render on the largest metafiles of the corpus. Raw figures go to
# BUILD/bench/results.tsv, the table to BUILD/bench/report.txt and to standard output.
#
# Environment: PAVEX_BENCH_ROUNDS (screen rounds, default 7), PAVEX_BENCH_RENDER_ROUNDS
# (default 3), PAVEX_CORPUS (default ../shared/corpus beside the sources).
# Exits non-zero only when the measuring itself fails, never for a goal that is missed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/.." && pwd)
build=$(cd "${1:-build}" && pwd)
rounds=${PAVEX_BENCH_ROUNDS:-7}
render_rounds=${PAVEX_BENCH_RENDER_ROUNDS:-3}
corpus=${PAVEX_CORPUS:-$source/../shared/corpus}
corpus=$(cd "$corpus" 2>/dev/null && pwd || echo "$corpus")
# A run slower than this many seconds is not repeated: the figure is clear from one.
slow_seconds=20
screen_timeout=20

probe=$build/bench/bench-probe
floor=$build/bench/floor
maker=$build/bench/make-picture
pavex=$build/app/pavex
render=$build/tools/pavex-render

harness_failure() {
    echo "bench: $*" >&2
    exit 1
}

for program in "$probe" "$floor" "$maker" "$pavex" "$render"; do
    [ -x "$program" ] || harness_failure "$program is missing: build first (make build)"
done
for tool in Xvfb cjpeg python3; do
    command -v "$tool" >/dev/null || harness_failure "$tool is missing: run scripts/install-deps.sh"
done
have_feh=no
if command -v feh >/dev/null; then
    have_feh=yes
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pavex-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The same locale for every program measured, whatever the caller's.
export LC_ALL=C.UTF-8
unset LANGUAGE

results=$build/bench/results.tsv
pictures=$build/bench/pictures
mkdir -p "$pictures"
: >"$results"
started=$(date +%s)
printf 'machine\t%s\t%s\n' "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results"

# --- pictures -------------------------------------------------------------------------------

# make_picture ID LABEL FORMAT WIDTH HEIGHT: FORMAT jpeg or bmp; remade when the generator
# is newer than the cached file.
screen_pictures=()
render_pictures=()
make_picture() {
    local id=$1 label=$2 format=$3 width=$4 height=$5 file
    file="$pictures/$id.$([ "$format" = jpeg ] && echo jpg || echo bmp)"
    if [ ! -s "$file" ] || [ "$maker" -nt "$file" ]; then
        echo "bench: making $label ($file)" >&2
        if [ "$format" = jpeg ]; then
            # Quality 90 with 2x2 chroma subsampling, as a camera or phone writes a photo.
            "$maker" ppm "$width" "$height" | cjpeg -quality 90 -sample 2x2 >"$file.tmp" \
                || harness_failure "cannot make $file"
        else
            "$maker" bmp "$width" "$height" >"$file.tmp" || harness_failure "cannot make $file"
        fi
        mv "$file.tmp" "$file"
    fi
    printf 'picture\t%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$label" "$width" "$height" "$file" \
        "$(stat -c %s "$file")" >>"$results"
    screen_pictures+=("$id:$file")
    render_pictures+=("$id:$file")
}
make_picture small "320x200 JPEG" jpeg 320 200
make_picture jpeg24 "24 MP JPEG" jpeg 6000 4000
make_picture bmp24 "24 MP BMP" bmp 6000 4000
make_picture jpeg108 "108 MP JPEG" jpeg 12000 9000

# derive_picture ID LABEL FROM KIND: a twin of the JPEG picture FROM, measured against the
# floor on FROM itself: "turned" (stored a quarter turn anticlockwise with EXIF orientation 6,
# so that it shows as FROM does, its marker at the shown top-left), "progressive" (the same
# coefficients in progressive scans), "p3" (tagged with a Display P3 profile; also measured
# against pavex on FROM). The floor and feh run on the progressive twin only.
declare -A pavex_only=()
derive_picture() {
    local id=$1 label=$2 from=$3 kind=$4 file="$pictures/$1.jpg" source="$pictures/$3.jpg"
    if [ ! -s "$file" ] || [ "$source" -nt "$file" ] || [ "$maker" -nt "$file" ] \
        || [ "$here/tag_jpeg.py" -nt "$file" ]; then
        echo "bench: making $label ($file)" >&2
        case $kind in
        turned)
            jpegtran -rotate 270 -trim "$source" >"$file.raw" \
                && python3 "$here/tag_jpeg.py" orientation 6 "$file.raw" "$file.tmp"
            ;;
        progressive) jpegtran -progressive "$source" >"$file.tmp" ;;
        p3)
            # FROM's colours in Display P3 (so that it shows as FROM does, its marker
            # included), coded as FROM is, then tagged.
            "$maker" icc-p3 >"$file.icc" \
                && jpgicc -o"$file.icc" -q100 "$source" "$file.p3.jpg" >/dev/null \
                && djpeg "$file.p3.jpg" | cjpeg -quality 90 -sample 2x2 >"$file.raw" \
                && python3 "$here/tag_jpeg.py" icc "$file.icc" "$file.raw" "$file.tmp"
            ;;
        esac || harness_failure "cannot make $file"
        rm -f "$file.raw" "$file.icc" "$file.p3.jpg"
        mv "$file.tmp" "$file"
    fi
    local size untagged=""
    size=$(grep -P "^picture\t$from\t" "$results" | cut -f4,5)
    [ "$kind" = p3 ] && untagged=$from
    # The floor and feh neither turn a picture nor convert its colours: their marker would
    # never show.
    [ "$kind" = progressive ] || pavex_only[$id]=1
    printf 'picture\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$label" "$size" "$file" \
        "$(stat -c %s "$file")" "$from" "$untagged" >>"$results"
    screen_pictures+=("$id:$file")
}
for tool in jpegtran djpeg jpgicc; do
    command -v "$tool" >/dev/null || harness_failure "$tool is missing: run scripts/install-deps.sh"
done
derive_picture turned24 "24 MP turned" jpeg24 turned
derive_picture turned108 "108 MP turned" jpeg108 turned
derive_picture prog24 "24 MP progr." jpeg24 progressive
derive_picture prog108 "108 MP progr." jpeg108 progressive
derive_picture p3jpeg24 "24 MP P3" jpeg24 p3

# The largest EMF and WMF of the corpus, for the play time.
metafiles=()
for kind in emf wmf; do
    largest=$(ls -S "$corpus/metafile/$kind"/*."$kind" 2>/dev/null | head -1 || true)
    if [ -n "$largest" ]; then
        printf 'metafile\t%s\t%s\t%s\n' "$kind" "$largest" "$(stat -c %s "$largest")" >>"$results"
        metafiles+=("$kind:$largest")
    else
        echo "bench: no $kind files under $corpus/metafile/$kind; skipped" >&2
    fi
done

# --- runs -----------------------------------------------------------------------------------

# command_for PROGRAM FILE: the command line that shows FILE with PROGRAM.
command_for() {
    case $1 in
    floor) echo "$floor" ;;
    pavex) echo "$pavex" ;;
    feh) echo feh ;;
    esac
}

# to_tsv LINE: the values of "key=value ..." in their order, tab-separated.
to_tsv() {
    local line=$1 out="" field
    for field in $line; do
        case $field in
        *=*) out+=$'\t'"${field#*=}" ;;
        esac
    done
    printf '%s' "$out"
}

# log_tail FILE: the last lines a program wrote, joined by "|", for the report.
log_tail() {
    tail -n 3 "$1" 2>/dev/null | cut -c 1-200 | tr '\t' ' ' | paste -sd '|'
}

# screen_run PROGRAM ID FILE ROUND: one probed run; "missed" when the marker never showed.
declare -A missed=()
screen_run() {
    local program=$1 id=$2 file=$3 round=$4 line status=0 log="$work/$1.$2.$4.log"
    [ -z "${missed[$program:$id]:-}" ] || return 0
    line=$("$probe" screen --timeout "$screen_timeout" --log "$log" -- \
        "$(command_for "$program")" "$file") || status=$?
    case $status in
    0)
        printf 'screen\t%s\t%s\t%s%s\n' "$program" "$id" "$round" "$(to_tsv "$line")" >>"$results"
        ;;
    3)
        printf 'screen-missed\t%s\t%s\t%s%s\t%s\n' "$program" "$id" "$round" \
            "$(to_tsv "$line")" "$(log_tail "$log")" >>"$results"
        missed[$program:$id]=1
        ;;
    *)
        cat "$log" >&2 2>/dev/null || true
        harness_failure "the probe failed on $program $file"
        ;;
    esac
}

# offline_run PROGRAM ID FILE ROUND: one run of pavex-render or the floor's decode-only mode,
# not repeated once a run took longer than slow_seconds.
declare -A slow=()
offline_run() {
    local program=$1 id=$2 file=$3 round=$4 line log="$work/$1.$2.$4.log" ms
    [ -z "${slow[$program:$id]:-}" ] || return 0
    case $program in
    pavex-render) line=$("$probe" run --log "$log" -- "$render" "$file" "$work/out.png") ;;
    floor-decode) line=$("$probe" run --log "$log" -- "$floor" --decode-only "$file") ;;
    esac || harness_failure "the probe failed on $program $file"
    rm -f "$work/out.png"
    printf 'run\t%s\t%s\t%s%s\t%s\n' "$program" "$id" "$round" "$(to_tsv "$line")" \
        "$(log_tail "$log")" >>"$results"
    ms=$(to_tsv "$line" | cut -f2)
    if [ "${ms%.*}" -gt $((slow_seconds * 1000)) ]; then
        slow[$program:$id]=1
    fi
}

programs=(floor pavex)
[ "$have_feh" = yes ] && programs+=(feh)
[ "$have_feh" = yes ] || printf 'note\tfeh is not installed: no feh figures\n' >>"$results"

# The pictures into the page cache, and every program once through its libraries and font
# caches, so the first round is not the only one that reads the disk.
cat "$pictures"/* >/dev/null
for program in "${programs[@]}"; do
    status=0
    "$probe" screen --timeout "$screen_timeout" -- "$(command_for "$program")" \
        "$pictures/small.jpg" >/dev/null || status=$?
    # A program that shows nothing (3) is the rounds' to report; anything else is ours.
    [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || harness_failure "the probe failed on $program"
done

echo "bench: $rounds rounds on screen: ${programs[*]}" >&2
for (( round=1; round<=rounds; round++ )); do
    for entry in "${screen_pictures[@]}"; do
        id=${entry%%:*} file=${entry#*:}
        # Each round starts with another program, so that none always runs after the same one.
        n=${#programs[@]}
        for (( k=0; k<n; k++ )); do
            program=${programs[(k + round) % n]}
            [ "$program" = pavex ] || [ -z "${pavex_only[$id]:-}" ] || continue
            screen_run "$program" "$id" "$file" "$round"
        done
    done
done

echo "bench: $render_rounds rounds of pavex-render and floor --decode-only" >&2
for (( round=1; round<=render_rounds; round++ )); do
    for entry in "${render_pictures[@]}"; do
        id=${entry%%:*} file=${entry#*:}
        if (( round % 2 )); then
            offline_run floor-decode "$id" "$file" "$round"
            offline_run pavex-render "$id" "$file" "$round"
        else
            offline_run pavex-render "$id" "$file" "$round"
            offline_run floor-decode "$id" "$file" "$round"
        fi
    done
    for entry in "${metafiles[@]}"; do
        offline_run pavex-render "${entry%%:*}" "${entry#*:}" "$round"
    done
done

printf 'machine-end\t%s\t%s\n' "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results"
printf 'elapsed\t%s\n' "$(( $(date +%s) - started ))" >>"$results"
echo "bench: opening a 100-megapixel JPEG through the loader alone" >&2
"$build/bench/bench_jpeg_100mp" 3 >&2
python3 "$here/report.py" "$results" | tee "$build/bench/report.txt"
