# Shared helpers of the end-to-end tests: a private X server, window lookup, and a private
# CUPS queue that writes PDF. Source it; every service started here is stopped on exit.

# The scripts' own tools (grep, sed, awk, bash's regular expressions) read and match UTF-8
# text whatever locale the caller has, or none; a test that runs a program under another
# locale says so where it runs it.
export LC_ALL=C.UTF-8
unset LANGUAGE

E2E_CLEANUP=()
e2e_cleanup() {
    local i
    for (( i=${#E2E_CLEANUP[@]}-1; i>=0; i-- )); do
        eval "${E2E_CLEANUP[i]}" >/dev/null 2>&1 || true
    done
}
trap e2e_cleanup EXIT
on_exit() { E2E_CLEANUP+=("$*"); }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A scratch folder, removed at the end.
make_workdir() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/pavex-e2e.XXXXXX")
    on_exit "rm -rf '$WORK'"
}

# Starts a private Xvfb (1024x768x24) and exports DISPLAY.
start_xvfb() {
    local fifo display
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/pavex-xvfb.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 ${XVFB_SCREEN:-1024x768x24} -nolisten tcp -noreset 3>"$fifo" \
        >/dev/null 2>&1 &
    local pid=$!
    on_exit "kill $pid"
    read -r -t 20 display <"$fifo" || fail "Xvfb did not start"
    rm -f "$fifo"
    export DISPLAY=":$display"
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/pavex-xdg.XXXXXX")}
    chmod 700 "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM
}

# Waits (up to 20 s) for a visible window whose name is exactly $1; prints its id.
wait_for_window() {
    local name=$1 i id
    for (( i=0; i<200; i++ )); do
        for id in $(xdotool search --onlyvisible --name "" 2>/dev/null); do
            if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$name" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Waits (up to $2 s, default 20) for process $1 to end.
wait_for_process_exit() {
    local pid=$1 limit=${2:-20} i
    for (( i=0; i<limit*10; i++ )); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# The name of a window.
window_name() {
    xdotool getwindowname "$1"
}

# Root-window geometry of a window: "X Y W H".
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# Saves a screenshot of the whole screen to $1.
screenshot() {
    import -window root "$1"
}

# The box "W H X Y" of the pixels of exactly colour $2 ("#rrggbb") in the PNG $1.
colour_box() {
    convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" \
        -bordercolor black -border 1 -trim \
        -format '%w %h %X %Y\n' info: | tr -d '+' | awk '{print $1, $2, $3 - 1, $4 - 1}'
}

# Writes a BMP of size $2 x $3 filled with colour $4 to $1.
solid_bmp() {
    convert -size "$2x$3" "xc:$4" -type TrueColor "BMP3:$1"
}

# Fails unless "$2" equals "$3"; $1 says what is compared.
expect_eq() {
    [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"
}

# The colour of pixel ($2, $3) of the PNG $1 as "R,G,B".
pixel_at() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# Answers the next message box: waits for a window titled exactly "pavex" (the frame's
# caption is always longer), focuses it and presses Return until it is gone. Prints its id.
answer_message_box() {
    local i id
    for (( i=0; i<200; i++ )); do
        id=$(xdotool search --onlyvisible --name '^pavex$' 2>/dev/null | head -1 || true)
        if [ -n "$id" ]; then
            for (( i=0; i<50; i++ )); do
                xdotool windowfocus --sync "$id" 2>/dev/null || true
                xdotool key Return 2>/dev/null || true
                sleep 0.2
                xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || { echo "$id"; return 0; }
            done
            return 1
        fi
        sleep 0.1
    done
    return 1
}

# Starts a private CUPS daemon (its own configuration, spool and socket; the system's CUPS is
# not touched) with a cups-pdf queue "pavex-test" as the default destination, and exports
# CUPS_SERVER so that the program and the CUPS tools use it. Sets CUPS_DIR (the daemon's
# folder) and CUPS_SPOOL (where job files stay). Must run as root (the PDF backend needs it).
start_cups() {
    [ "$(id -u)" -eq 0 ] || fail "the printing tests need root (the cups-pdf backend runs as root)"
    CUPS_DIR=$(mktemp -d /tmp/pavex-cups.XXXXXX)
    chmod 755 "$CUPS_DIR"
    CUPS_SPOOL="$CUPS_DIR/spool"
    mkdir -p "$CUPS_DIR/etc/ppd" "$CUPS_SPOOL/tmp" "$CUPS_DIR/state/certs" "$CUPS_DIR/cache" \
             "$CUPS_DIR/log"
    chmod 1777 "$CUPS_SPOOL/tmp"
    cat >"$CUPS_DIR/cupsd.conf" <<CONF
Listen $CUPS_DIR/cups.sock
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
PreserveJobFiles Yes
MaxJobs 0
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cat >"$CUPS_DIR/cups-files.conf" <<CONF
ServerRoot $CUPS_DIR/etc
RequestRoot $CUPS_SPOOL
TempDir $CUPS_SPOOL/tmp
StateDir $CUPS_DIR/state
CacheDir $CUPS_DIR/cache
ServerBin /usr/lib/cups
DataDir /usr/share/cups
ErrorLog $CUPS_DIR/log/error_log
AccessLog $CUPS_DIR/log/access_log
PageLog $CUPS_DIR/log/page_log
SystemGroup root
User lp
Group lp
CONF
    cupsd -f -c "$CUPS_DIR/cupsd.conf" -s "$CUPS_DIR/cups-files.conf" >/dev/null 2>&1 &
    local pid=$!
    on_exit "kill $pid; sleep 0.2; rm -rf '$CUPS_DIR'"
    export CUPS_SERVER="$CUPS_DIR/cups.sock"
    unset PRINTER LPDEST
    export HOME=${HOME:-/root}
    local i
    for (( i=0; i<100; i++ )); do
        lpstat -r 2>/dev/null | grep -q "is running" && break
        sleep 0.1
    done
    lpstat -r 2>/dev/null | grep -q "is running" || fail "cupsd did not start"
    lpadmin -p pavex-test -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd \
        || fail "cannot add the PDF queue"
    lpadmin -d pavex-test || fail "cannot make the PDF queue the default"
    PDF_OUT="$HOME/PDF"
}

# Removes the default destination of the private daemon (the queue stays).
clear_default_printer() {
    lpadmin -x pavex-test
}

# Waits (up to 30 s) until job $1 of the private daemon is completed.
wait_for_job() {
    local job=$1 i
    for (( i=0; i<300; i++ )); do
        lpstat -W completed -o 2>/dev/null | grep -q "^pavex-test-$job " && return 0
        sleep 0.1
    done
    return 1
}

# The number of jobs the private daemon has received so far.
job_count() {
    lpstat -W all -o 2>/dev/null | wc -l
}

# The PDF that Qt handed to CUPS for job $1 (kept in the spool).
job_file() {
    echo "$CUPS_SPOOL/d$(printf '%05d' "$1")-001"
}
