#!/usr/bin/env bash
# The command line reaches the program exactly as typed, even where the words look like the
# toolkit's own options (-reverse, -style X, -platform X, ...): each such text, with one dash
# and with two, names a picture file that the program opens in its window, and prints with
# "-print" after it. The display and platform come from the environment alone.
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
pavex="$build/app/pavex"
make_workdir
start_xvfb
start_cups

options=(
    "-reverse" "-style fusion" "-style=fusion" "-stylesheet sheet.qss" "-platform offscreen"
    "-platformpluginpath plugins" "-platformtheme gtk3" "-plugin evdevmouse" "-display :77"
    "-geometry 10x10+5+5" "-qwindowgeometry 10x10" "-title t" "-qwindowtitle t" "-name n"
    "-icon i.png" "-qwindowicon i.png" "-session s" "-widgetcount" "-sync" "-nograb" "-dograb"
    "-qmljsdebugger=port:1234" "-testability"
)
texts=()
for o in "${options[@]}"; do texts+=("$o" "-$o"); done

# Each text names a 12 x 8 picture in the scratch folder; the program runs there.
for t in "${texts[@]}"; do solid_bmp "$WORK/$t" 12 8 "#ff00ff"; done
cd "$WORK"

echo "-- each text alone opens the file of that name, in a window on this display"
for t in "${texts[@]}"; do
    # Unquoted on purpose: the words arrive as separate arguments, as a shell splits them.
    # shellcheck disable=SC2086
    "$pavex" $t & pid=$!
    wid=$(wait_for_window "pavex $t 12x8ﾋﾟｸｾﾙ") || { kill "$pid"; fail "'$t' did not open as a file name"; }
    if [ "$t" = "-reverse" ]; then
        # Not mirrored: the viewer window stays at the client area's left edge.
        sleep 0.3
        screenshot "$WORK/reverse.png"
        read -r fx _ < <(window_geometry "$wid")
        read -r _ _ px _ < <(colour_box "$WORK/reverse.png" "#ff00ff")
        expect_eq "picture left under '-reverse'" "$px" "$fx"
    fi
    kill "$pid"; wait "$pid" 2>/dev/null || true
done

echo "-- each text before -print prints the file of that name"
jobs_done=0
date_re='\(.+\)'
for t in "${texts[@]}"; do
    status=0
    # shellcheck disable=SC2086
    "$pavex" $t -print 2>"$WORK/stderr" || status=$?
    expect_eq "exit status of '$t -print'" "$status" 0
    [ ! -s "$WORK/stderr" ] || fail "'$t -print' wrote: $(cat "$WORK/stderr")"
    jobs_done=$((jobs_done + 1))
done
wait_for_job "$jobs_done" || fail "the last job did not complete"
job=0
for t in "${texts[@]}"; do
    job=$((job + 1))
    text=$(pdftotext "$(job_file "$job")" - | head -1)
    [[ "$text" =~ ^"pavex $t 12x8ﾋﾟｸｾﾙ"$date_re$ ]] || fail "job $job for '$t' has the header '$text'"
done

echo "-- words that only look like options stay part of the name"
solid_bmp "$WORK/a.bmp" 12 8 "#ff00ff"
answer_message_box >/dev/null & answerer=$!
status=0
"$pavex" a.bmp -title t -print 2>"$WORK/stderr" || status=$?
wait "$answerer" || fail "no message for the file 'a.bmp -title t'"
expect_eq "exit status of 'a.bmp -title t -print'" "$status" 1
expect_eq "what pavex said" "$(cat "$WORK/stderr")" \
    "pavex: cannot read \"a.bmp -title t\": printed the header alone"
jobs_done=$((jobs_done + 1))
wait_for_job "$jobs_done" || fail "the header-only job did not complete"
text=$(pdftotext "$(job_file "$jobs_done")" - | head -1)
[[ "$text" =~ ^"pavex 2.1"$date_re$ ]] || fail "the header-only page reads '$text'"

echo "PASS"
