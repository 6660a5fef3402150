#!/bin/sh
# Starts the program on the desktop; with no display, runs it on a private
# X server, shows each model as a person would and saves screenshots.
set -eu
program=$1
shots=${SHOTS:-shots}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$program"
fi

mkdir -p "$shots"
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
export DISPLAY=":$number"

"$program" &
app=$!
cleanup() {
    kill "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Robot Kovra$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.05
done
if [ -z "$window" ]; then
    echo "run: the window did not appear" >&2
    exit 1
fi
xdotool mousemove --window "$window" 200 200

# shot NAME: saves the whole window, menu bar included.
shot() {
    sleep 0.3
    xwd -silent -id "$window" | convert xwd:- "$shots/$1.png"
    echo "  $shots/$1.png"
}
# choose N: picks the Nth item of the "Robot" menu from the keyboard.
choose() {
    xdotool key F10 Right Down
    i=1
    while [ "$i" -lt "$1" ]; do
        xdotool key Down
        i=$((i + 1))
    done
    xdotool key Return
}

echo "run: no display, so Robot Kovra ran on its own X server; screenshots:"
shot cylinder
xdotool key Up Up Up Up Up Up Left Left Left Left
shot cylinder-turned
choose 2
shot arm1
xdotool key Down Down Down Down Down Down Down Down Right Right Right Right Right Right
shot arm1-turned
choose 3
shot arm2
xdotool key Up Up Up Up Up Up Up Up Up Up Left Left Left Left Left Left Left Left Left Left
shot arm2-turned
xdotool key F10 Right Down
shot robot-menu
xdotool key Escape Escape
