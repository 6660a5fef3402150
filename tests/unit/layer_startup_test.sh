#!/bin/sh
# The start-up around WinMain: its result is the exit code; a missing display
# is one line naming it and exit code 1; a lost connection ends the program
# at once, saying so.
#   layer_startup_test.sh PROBE
set -u
probe=$1
name=$(basename "$probe")
status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

said=$(DISPLAY=:9876 "$probe" 2>&1)
code=$?
[ "$code" -eq 1 ] || fail "no display: exit code $code, expected 1"
[ "$said" = "$name: X11: cannot open display \":9876\"" ] || fail "no display: said '$said'"

dir=$(mktemp -d)
mkfifo "$dir/displayfd"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$dir/displayfd" 2>/dev/null &
xvfb=$!
read -r number <"$dir/displayfd"
export DISPLAY=":$number"

"$probe" two words
code=$?
[ "$code" -eq 3 ] || fail "WinMain's result: exit code $code, expected 3"

"$probe" wait 2>"$dir/stderr" &
running=$!
for _ in $(seq 50); do
    xdotool search --name '^Probe$' >/dev/null 2>&1 && break
    sleep 0.1
done
kill "$xvfb"
wait "$xvfb"
for _ in $(seq 50); do
    kill -0 "$running" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$running" 2>/dev/null; then
    fail "lost connection: still running after 5 s"
    kill "$running"
fi
wait "$running"
code=$?
[ "$code" -ne 0 ] || fail "lost connection: exit code 0"
grep -qx "$name: X11: connection to the display lost" "$dir/stderr" ||
    fail "lost connection: said '$(cat "$dir/stderr")'"
rm -rf "$dir"
exit $status
