#!/usr/bin/env bash
# Printing against the real printing system: a private cupsd with a cups-pdf queue as its
# default, the built pavex run with "-print", and the page read back: the header text from
# the PDF that pavex handed to CUPS (kept in the spool), the picture's size and position from
# that PDF and from cups-pdf's own output, both rendered at 96 dpi with pdftoppm.
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
pavex="$build/app/pavex"
make_workdir
start_xvfb
start_cups
# The header's date follows the regional settings: these jobs run under Japanese ones.
japanese=(env LC_ALL=ja_JP.UTF-8)
rm -rf "$PDF_OUT"

jobs_done=0
# Runs pavex with "$@", expects exit status $EXPECT_STATUS, and waits for the next job.
print_job() {
    local status=0
    "${japanese[@]}" "$pavex" "$@" 2>"$WORK/stderr" || status=$?
    expect_eq "exit status of pavex $*" "$status" "$EXPECT_STATUS"
    jobs_done=$((jobs_done + 1))
    wait_for_job "$jobs_done" || fail "job $jobs_done did not complete"
    JOB_PDF=$(job_file "$jobs_done")
    [ -s "$JOB_PDF" ] || fail "no job file for job $jobs_done"
    expect_eq "pages of job $jobs_done" "$(pdfinfo "$JOB_PDF" | awk '/^Pages:/{print $2}')" 1
}

# The box "W H X Y" of the magenta picture on the page $1 rendered at 96 dpi.
picture_box() {
    pdftoppm -r 96 -png -singlefile "$1" "$WORK/page" 2>/dev/null
    convert "$WORK/page.png" -fuzz 12% -fill black +opaque "#ff00ff" -fill white -opaque "#ff00ff" \
        -bordercolor black -border 1 -trim -format '%w %h %X %Y\n' info: 2>/dev/null | tr -d '+' \
        | awk '$3 >= 0 {print $1, $2, $3 - 1, $4 - 1}'
}

# The page size "W x H" in points of the PDF $1.
page_size() {
    pdfinfo "$1" | sed -n 's/^Page size: *\([0-9.]* x [0-9.]*\) pts.*/\1/p'
}

# Fails unless standard error of the last run was exactly the line $1 (nothing when "").
expect_stderr() {
    expect_eq "what pavex wrote to standard error" "$(cat "$WORK/stderr")" "$1"
}

# Fails unless $2 and $3 differ by at most 1; $1 says what is compared.
expect_near() {
    local d=$(( $2 - $3 ))
    [ "${d#-}" -le 1 ] || fail "$1: expected $3 (±1), got $2"
}

# The newest PDF that cups-pdf wrote.
cups_pdf_output() {
    local i f
    for (( i=0; i<100; i++ )); do
        f=$(ls -t "$PDF_OUT"/*.pdf 2>/dev/null | head -1)
        [ -n "$f" ] && [ "$(ls "$PDF_OUT"/*.pdf | wc -l)" -ge "$jobs_done" ] && { echo "$f"; return 0; }
        sleep 0.1
    done
    return 1
}

date_re='\(20[0-9]{2}/[0-9]{2}/[0-9]{2}( [0-9]{1,2}:[0-9]{2}:[0-9]{2})?\)'

echo "-- a picture"
solid_bmp "$WORK/m.bmp" 123 45 "#ff00ff"
EXPECT_STATUS=0 print_job "$WORK/m.bmp" -print
expect_stderr ""
text=$(pdftotext "$JOB_PDF" - | head -1)
[[ "$text" =~ ^"pavex $WORK/m.bmp 123x45ﾋﾟｸｾﾙ"$date_re$ ]] || fail "header reads '$text'"
read -r w h x y < <(picture_box "$JOB_PDF")
expect_near "picture width" "$w" 123; expect_near "picture height" "$h" 45
expect_near "picture left" "$x" 0; expect_near "picture top (300 twips)" "$y" 20
printed=$(cups_pdf_output) || fail "cups-pdf wrote nothing"
read -r w h x y < <(picture_box "$printed")
expect_near "printed width" "$w" 123; expect_near "printed height" "$h" 45
expect_near "printed left" "$x" 0; expect_near "printed top" "$y" 20
cp "$WORK/page.png" "$build/e2e-printed-page.png"
expect_eq "the page is the queue's default paper (A4)" "$(page_size "$JOB_PDF")" "595 x 842"

echo "-- a queue whose paper is Letter: the page is Letter"
lpadmin -p pavex-test -o media-default=na_letter_8.5x11in
EXPECT_STATUS=0 print_job "$WORK/m.bmp" -print
lpadmin -p pavex-test -o media-default=iso_a4_210x297mm
expect_eq "the page is Letter" "$(page_size "$JOB_PDF")" "612 x 792"
read -r w h x y < <(picture_box "$JOB_PDF")
expect_near "picture width on Letter" "$w" 123; expect_near "picture left on Letter" "$x" 0

echo "-- an unreadable file: the message, then a page with the header alone"
echo "not a picture" >"$WORK/notes.bmp"
answer_message_box >"$WORK/box" &
answerer=$!
EXPECT_STATUS=1 print_job "$WORK/notes.bmp" -print
wait "$answerer" || fail "no message box"
expect_stderr "pavex: cannot read \"$WORK/notes.bmp\": printed the header alone"
text=$(pdftotext "$JOB_PDF" - | head -1)
[[ "$text" =~ ^"pavex 2.1"$date_re$ ]] || fail "header reads '$text'"
[ -z "$(picture_box "$JOB_PDF")" ] || fail "a picture was printed"

echo "-- a picture larger than the page: one page, cut at its edges"
solid_bmp "$WORK/big.bmp" 1500 2000 "#ff00ff"
EXPECT_STATUS=0 print_job "$WORK/big.bmp" -print
read -r w h x y < <(picture_box "$JOB_PDF")
page_w=$(identify -format '%w' "$WORK/page.png"); page_h=$(identify -format '%h' "$WORK/page.png")
expect_near "big picture left" "$x" 0; expect_near "big picture top" "$y" 20
expect_near "big picture reaches the right edge" "$w" "$page_w"
expect_near "big picture reaches the bottom" "$((y + h))" "$page_h"

echo "-- a long caption stays on one line"
deep="$WORK/$(printf 'folder%02d/' $(seq 1 12))"
mkdir -p "$deep"
solid_bmp "$deep/deep picture.bmp" 10 10 "#ff00ff"
EXPECT_STATUS=0 print_job "$deep/deep picture.bmp" -print
expect_eq "text lines" "$(pdftotext -layout "$JOB_PDF" - | tr -d "\f" | grep -c .)" 1
pdftotext "$JOB_PDF" - | head -1 | grep -q "^pavex $WORK/folder01/folder02/" || fail "the header does not start with the caption"

echo "-- two prints in a row: two jobs of one page each"
EXPECT_STATUS=0 print_job "$WORK/m.bmp" -print
first=$JOB_PDF
sleep 1
EXPECT_STATUS=0 print_job "$WORK/m.bmp" -print
[ "$(pdftotext "$first" - | head -1)" != "$(pdftotext "$JOB_PDF" - | head -1)" ] \
    || fail "the two headers carry the same time"

emf="${PAVEX_CORPUS:-}/metafile/emf/libemf2svg__test-031.emf"
if [ -f "$emf" ]; then
    echo "-- a metafile prints as vectors at its own size"
    EXPECT_STATUS=0 print_job "$emf" -print
    pdffonts "$JOB_PDF" | grep -q LiberationSans || fail "the metafile's text is not text"
    pdftotext "$JOB_PDF" - | grep -q "S u r" || fail "the metafile's title cannot be read back"
    # Below the header: the picture's ink spans its own size, 672 x 480 at 96 dpi.
    pdftoppm -r 96 -png -singlefile "$JOB_PDF" "$WORK/emf"
    read -r w h x y < <(convert "$WORK/emf.png" -crop +0+20 +repage -bordercolor white -border 1 \
        -fuzz 5% -trim -format '%w %h %X %Y\n' info: | tr -d '+')
    expect_near "metafile width" "$w" 672; expect_near "metafile height" "$h" 480
    expect_near "metafile left" "$((x - 1))" 0; expect_near "metafile top" "$((y - 1))" 0
else
    echo "-- (no corpus: the metafile print is not checked)"
fi

echo "-- PRINTER names another queue: it is the default"
lpadmin -p pavex-other -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null
before=$(job_count)
PRINTER=pavex-other "$pavex" "$WORK/m.bmp" -print || fail "printing to PRINTER failed"
for (( i=0; i<100; i++ )); do [ "$(job_count)" -gt "$before" ] && break; sleep 0.1; done
lpstat -W all -o pavex-other | grep -q "^pavex-other-" || fail "the job did not go to PRINTER's queue"
jobs_done=$((jobs_done + 1))

echo "-- the default printer refuses jobs: nothing is printed, and pavex says so"
cupsreject pavex-test
before=$(job_count)
status=0
"$pavex" "$WORK/m.bmp" -print 2>"$WORK/stderr" || status=$?
expect_eq "exit status when the printer refuses the job" "$status" 2
expect_eq "lines on standard error" "$(wc -l <"$WORK/stderr")" 1
[[ "$(cat "$WORK/stderr")" =~ ^"pavex: the printer refused the job (".+"): nothing was printed"$ ]] \
    || fail "standard error reads '$(cat "$WORK/stderr")'"
cat "$WORK/stderr"
expect_eq "jobs taken by a refusing printer" "$(job_count)" "$before"
cupsaccept pavex-test
EXPECT_STATUS=0 print_job "$WORK/m.bmp" -print
expect_stderr ""

echo "-- no default printer (another queue exists): nothing is printed"
lpadmin -x pavex-test
before=$(job_count)
status=0
"$pavex" "$WORK/m.bmp" -print 2>"$WORK/stderr" || status=$?
expect_eq "exit status without a default printer" "$status" 2
expect_stderr "pavex: no default printer: nothing was printed"
sleep 1
expect_eq "jobs without a default printer" "$(job_count)" "$before"

echo "-- the switch first: usage, nothing printed"
status=0
"$pavex" -print "$WORK/m.bmp" 2>"$WORK/stderr" || status=$?
expect_eq "exit status with the switch first" "$status" 2
expect_stderr "pavex: usage: pavex FILE -print"

echo "PASS"
