#!/bin/sh
# One whole session of the program under valgrind memcheck, on a private X
# server: start, turn, every model, the dialog opened and closed, resizes,
# exit. Then the palette's own test under memcheck, which builds a palette
# for an 8-bit format (no X server offers GL on one to the program itself).
#   valgrind_session.sh PROGRAM PALETTE_TEST
# Passes when the program exits with 0 and each run reports 0 errors and
# 0 bytes definitely lost, after the suppressions of valgrind.supp, which
# name only what lies outside the project. The logs are left in
# ./valgrind-logs.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KOVRA_ON_XVFB:-}" ]; then
    KOVRA_ON_XVFB=1 exec "$here/../support/with-xvfb.sh" "$0" "$@"
fi
program=$1
palette_test=$2
# The logs stay, in the folder the test runs in.
work=$(pwd)/valgrind-logs
rm -rf "$work"
mkdir -p "$work"

if ! command -v valgrind >/dev/null; then
    echo "valgrind_session: valgrind is not installed (Debian package valgrind)" >&2
    exit 1
fi

memcheck() {
    log=$1
    shift
    valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --num-callers=40 --keep-debuginfo=yes \
        --suppressions="$here/valgrind.supp" --log-file="$log" "$@"
}

# Waits up to $1 seconds for a command to succeed.
within() {
    end=$(($(date +%s) + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -ge "$end" ] && return 1
        sleep 0.5
    done
}

gone() {
    ! xdotool search --onlyvisible --name "$1"
}

ended() {
    ! kill -0 "$1"
}

# Keys go to the program in order, typed ahead or not; the pauses only let
# the slowed program draw what a person would see.
session() {
    memcheck "$work/program.log" "$program" 2>"$work/program.err" &
    pid=$!
    # Under valgrind Mesa's rasteriser compiles its shaders slowly: minutes.
    # Keys count from when the window is on screen, as a person's would.
    within 600 xdotool search --onlyvisible --name '^Robot Kovra$' || { echo "no window"; return 1; }
    window=$(xdotool search --onlyvisible --name '^Robot Kovra$' | head -1)
    xdotool mousemove 200 200
    xdotool key Up Up Right Left Down
    # The "Robot" menu by keyboard (F10, Right, Down opens it): each model.
    for rows in "Down" "Down Down" "" ; do
        # shellcheck disable=SC2086
        xdotool key F10 Right Down $rows Return
    done
    xdotool key alt+h a
    within 600 xdotool search --onlyvisible --name '^About OpenGL$' || { echo "no dialog"; return 1; }
    xdotool key Return
    within 600 gone '^About OpenGL$' || { echo "the dialog stays open"; return 1; }
    xdotool windowsize "$window" 640 480
    sleep 2
    xdotool windowsize "$window" 300 200
    sleep 2
    xdotool key alt+f x
    within 600 ended "$pid" || { echo "still running"; kill "$pid"; return 1; }
    wait "$pid"
    code=$?
    [ "$code" -eq 0 ] || { echo "exit code $code: $(cat "$work/program.err")"; return 1; }
}

# Prints the summary of one memcheck log; fails unless it is clean.
judge() {
    echo "$1:"
    grep -E "total heap usage|All heap blocks|definitely lost:|indirectly lost:|possibly lost:|suppressed:|ERROR SUMMARY" "$2" |
        sed 's/^==[0-9]*== */    /'
    grep -q "ERROR SUMMARY: 0 errors" "$2" && ! grep -q "definitely lost: [1-9]" "$2" && return 0
    sed -n '/^==[0-9]*== [A-Z]/,$p' "$2" | head -120
    return 1
}

status=0
if session; then
    judge "the program's session" "$work/program.log" || status=1
else
    status=1
    [ -f "$work/program.log" ] && tail -40 "$work/program.log"
fi
memcheck "$work/palette.log" "$palette_test" >/dev/null 2>&1 || status=1
judge "the palette test" "$work/palette.log" || status=1
exit $status
