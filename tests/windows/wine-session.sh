# Sourced by the Wine tests: a private Xvfb, the 64-bit build run under wine64
# in the build's prefix, the probe beside it, screenshots, and a clean end.
# The test's environment gives WINEPREFIX, WINE_SHOTS, KOVRA_EXE and KOVRA_PROBE.
# shellcheck shell=sh

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko prompts, and no desktop entries written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

session_dir=$(mktemp -d)
xvfb_pid=
program_pid=
failures=0

# Seconds since the epoch with a fraction, for the timings the log reports.
Now() {
    date +%s.%N
}

Elapsed() {
    echo "$(Now) $1" | awk '{ printf "%.1f", $1 - $2 }'
}

# A missing tool is an installation fault; name the package that brings it.
RequireTools() {
    for pair in "$WINE:wine64" "$WINESERVER:wine64" Xvfb:xvfb xdotool:xdotool xwd:x11-apps \
        convert:imagemagick; do
        tool=${pair%%:*}
        if ! command -v "$tool" >/dev/null; then
            echo "wine: $tool not found; install ${pair#*:} (scripts/install-deps.sh)" >&2
            exit 1
        fi
    done
}

# Records a failed check and goes on, so one run shows every fault.
Fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

StartDisplay() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$session_dir/display" \
        2>"$session_dir/xvfb.log" &
    xvfb_pid=$!
    i=0
    while [ ! -s "$session_dir/display" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "Xvfb: did not start" >&2
            cat "$session_dir/xvfb.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    DISPLAY=:$(cat "$session_dir/display")
    export DISPLAY
}

StartProgram() {
    "$WINE" "$KOVRA_EXE" >"$session_dir/program.log" 2>&1 &
    program_pid=$!
}

# Prints the X id of the top-level window with exactly that title, or fails.
WaitForWindow() {
    title=$1
    timeout=$2
    start=$(Now)
    while :; do
        window=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        if [ "$(Elapsed "$start" | cut -d. -f1)" -ge "$timeout" ]; then
            echo "wine: no window \"$title\" after ${timeout}s" >&2
            return 1
        fi
        sleep 0.2
    done
    echo "$window"
}

# Waits for a drop-down menu of the program to show; prints its X id. Drop-downs
# are top-level windows of the program's class besides the main window.
WaitForPopup() {
    main=$1
    class=$(basename "$KOVRA_EXE")
    i=0
    while :; do
        popup=$(xdotool search --onlyvisible --class "^$class\$" 2>/dev/null | grep -vx "$main" |
            head -n 1)
        [ -n "$popup" ] && break
        i=$((i + 1))
        if [ $i -gt 50 ]; then
            echo "wine: no drop-down menu showed" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "$popup"
}

# Runs the probe under the same prefix and display; Wine's console output
# ends lines with CR LF.
Probe() {
    "$WINE" "$KOVRA_PROBE" "$@" | tr -d '\r'
}

# Saves the whole screen as $WINE_SHOTS/NAME.png and prints the path.
Shot() {
    mkdir -p "$WINE_SHOTS"
    xwd -root -silent | convert xwd:- "$WINE_SHOTS/$1.png"
    echo "$WINE_SHOTS/$1.png"
}

# Gives a window the keyboard through X, as a click on it would.
Focus() {
    xdotool windowfocus --sync "$1"
}

# Waits for the program to end and sets exit_code; fails on timeout. Not to
# be run in a subshell: only this shell can reap the program.
WaitForProgramExit() {
    timeout=$1
    i=0
    while kill -0 "$program_pid" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -gt $((timeout * 10)) ]; then
            echo "wine: the program did not end within ${timeout}s" >&2
            return 1
        fi
        sleep 0.1
    done
    wait "$program_pid"
    # shellcheck disable=SC2034 # read by the scripts that source this one
    exit_code=$?
    program_pid=
}

# Ends what the session started: the program, this prefix's wineserver and
# the Wine processes it runs, then the X server.
EndSession() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
    fi
    if ! timeout 10 "$WINESERVER" -w; then
        "$WINESERVER" -k
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$session_dir"
}

trap EndSession EXIT
trap 'exit 1' INT TERM
