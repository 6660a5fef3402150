#!/bin/sh
# Takes the README's pictures of the program as it is now: each link, the
# Robot menu open, the About dialog, and the Linux and Windows builds side by
# side. Both builds run on a private X server and are driven from the
# keyboard as a person would; the pictures replace DOCS/*.png only when all
# of them were taken.
#   screenshots.sh BUILD [DOCS]      (BUILD: the Linux build folder; docs/ by default)
set -u
build=$1
docs=${2:-docs}
linux=$build/app/robot-kovra
exe=$build/win64/app/robot-kovra.exe
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

for pair in Xvfb:xvfb xdotool:xdotool xwd:x11-apps xwininfo:x11-utils convert:imagemagick \
    "$WINE:wine64"; do
    if ! command -v "${pair%%:*}" >/dev/null; then
        echo "screenshots: ${pair%%:*} not found; install ${pair#*:} (scripts/install-deps.sh)" >&2
        exit 1
    fi
done
for file in "$linux" "$exe"; do
    if [ ! -f "$file" ]; then
        echo "screenshots: $file is not built (make screenshots builds it)" >&2
        exit 1
    fi
done

# The Windows build runs in the prefix the Wine tests use, made once.
WINEPREFIX=$(cd "$build" && pwd)/wine-prefix
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
if ! WINE_SHOTS=/nonexistent KOVRA_EXE=$exe KOVRA_PROBE=/nonexistent \
    "$(dirname "$0")/../tests/windows/wine-prefix.sh"; then
    echo "screenshots: no Wine prefix" >&2
    exit 1
fi

work=$(mktemp -d)
xvfb=
program=
wine_started=

# Ends what this script started: the program, the prefix's Wine processes,
# the X server.
Cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
    [ -n "$wine_started" ] && ! timeout 10 "$WINESERVER" -w && "$WINESERVER" -k
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap Cleanup EXIT
trap 'exit 1' INT TERM HUP

Fail() {
    echo "screenshots: $*" >&2
    exit 1
}

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
read -r number <"$work/display" || true
[ -n "${number:-}" ] || Fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$number
export DISPLAY

# Prints the id of the viewable top-level window with exactly that title.
WaitForWindow() {
    i=0
    while :; do
        window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        i=$((i + 1))
        [ $i -gt $(($2 * 10)) ] && Fail "no window \"$1\" after $2 s"
        sleep 0.1
    done
    echo "$window"
}

# Waits until the screen stops changing: the program has answered the input.
Settle() {
    previous=
    i=0
    while [ $i -lt 50 ]; do
        sleep 0.2
        current=$(xwd -root -silent | md5sum)
        [ "$current" = "$previous" ] && return 0
        previous=$current
        i=$((i + 1))
    done
    Fail "the screen did not settle"
}

# "x y width height" of every viewable top-level window: on this private
# server, the program's window, its drop-downs and its dialog.
VisibleWindows() {
    for id in $(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
        xwininfo -id "$id" | awk '
            /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
            /Width:/ { w = $NF } /Height:/ { h = $NF } /Map State: IsViewable/ { v = 1 }
            END { if (v && w > 1 && h > 1) print x, y, w, h }'
    done
}

# Shot NAME [WINDOW]: the window, or all viewable windows together, as NAME.png.
Shot() {
    Settle
    if [ $# -ge 2 ]; then
        box=$(xwininfo -id "$2" | awk '/Absolute upper-left X/ { x = $NF }
            /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF }
            END { print w "x" h "+" x "+" y }')
    else
        box=$(VisibleWindows | awk 'NR == 1 { l = $1; t = $2; r = $1 + $3; b = $2 + $4 }
            { if ($1 < l) l = $1; if ($2 < t) t = $2
              if ($1 + $3 > r) r = $1 + $3; if ($2 + $4 > b) b = $2 + $4 }
            END { if (l < 0) l = 0; if (t < 0) t = 0; print r - l "x" b - t "+" l "+" t }')
    fi
    xwd -root -silent | convert xwd:- -crop "$box" +repage -strip "$work/$1.png" ||
        Fail "cannot save $1.png"
    echo "  $1.png ($box)"
}

Keys() {
    xdotool key --delay 120 "$@"
}

# Picks the Nth item of the Robot menu from the keyboard: F10 to the bar,
# Right to "Robot", Down to open it, Down to the item, Enter.
Choose() {
    Keys F10 Right Down
    i=1
    while [ $i -lt "$1" ]; do
        Keys Down
        i=$((i + 1))
    done
    Keys Return
}

# Starts a build and gives its window the keyboard.
Start() {
    "$@" >"$work/program.log" 2>&1 &
    program=$!
    main=$(WaitForWindow "Robot Kovra" 60) || exit 1
    xdotool mousemove --window "$main" 200 200 windowfocus --sync "$main"
}

# Ends the build through File > Exit, as a person would.
Stop() {
    Keys alt+f x
    i=0
    while kill -0 "$program" 2>/dev/null; do
        i=$((i + 1))
        [ $i -gt 100 ] && Fail "File > Exit did not end the program"
        sleep 0.1
    done
    wait "$program"
    status=$?
    program=
    [ $status -eq 0 ] || Fail "the program exited with status $status"
}

# The turns shown: Up/Down turn about X, Left/Right about Y, 5 degrees a press.
TurnCylinder() {
    Keys Up Up Up Up Up Up Up Up Up Up Up Up Left Left Left
}
TurnArm1() {
    Keys Up Up Up Up Up Up Up Up Right Right Right Right Right Right
}
TurnArm2() {
    Keys Up Up Up Up Up Up Up Up Left Left Left Left Left Left
}

# Gives a window the keyboard, as a click on it or a window manager would.
Focus() {
    xdotool windowfocus --sync "$1"
}

echo "screenshots: the Linux build"
Start "$linux"
TurnCylinder
Shot cylinder "$main"
Choose 2
TurnArm1
Shot arm1 "$main"
Choose 3
TurnArm2
Shot arm2 "$main"
Keys F10 Right Down
Shot robot-menu
Keys Escape Escape
Keys alt+h a
dialog=$(WaitForWindow "About OpenGL" 10) || exit 1
Focus "$dialog"
Shot about "$dialog"
Keys Return
i=0
while xdotool search --onlyvisible --name '^About OpenGL$' >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -gt 50 ] && Fail "Enter did not close the About dialog"
    sleep 0.1
done
Focus "$main"
Stop

echo "screenshots: the Windows build under Wine"
wine_started=yes
Start "$WINE" "$exe"
Choose 2
TurnArm1
Shot arm1-windows "$main"
Stop

# Linux on the left, Windows on the right, a white gap between.
convert "$work/arm1.png" -size 16x1 xc:white "$work/arm1-windows.png" -background white \
    -gravity north +append -strip "$work/linux-and-windows.png" || Fail "cannot join the two builds"
mkdir -p "$docs"
for name in cylinder arm1 arm2 robot-menu about linux-and-windows; do
    mv "$work/$name.png" "$docs/$name.png"
done
echo "screenshots: written to $docs/"
