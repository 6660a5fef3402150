#!/bin/sh
# Starts the packaged program as a desktop does: unpacks the .deb into a
# scratch root and runs its desktop entry's Exec line on a private X server.
# Checks the window (title, and the class StartupWMClass names), that it
# draws, that File > Exit ends it with status 0, and that with no display
# it exits with status 1.
#   launch-entry.sh PACKAGE_DIR WITH_XVFB
set -u
if [ -z "${KOVRA_ON_XVFB:-}" ]; then
    KOVRA_ON_XVFB=1 exec "$2" --size 800x600 "$0" "$@"
fi
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in xdotool:xdotool xprop:x11-utils xwd:x11-apps convert:imagemagick; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        echo "launch-entry: ${tool%%:*} not found; install ${tool#*:} (scripts/install-deps.sh)" >&2
        exit 1
    fi
done

deb=
for file in "$1"/robot-kovra_*.deb; do
    [ -f "$file" ] && deb=$file
done
if [ -z "$deb" ]; then
    echo "launch-entry: no .deb in $1 (the dist.package test makes it)" >&2
    exit 1
fi
root=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
dpkg -x "$deb" "$root"
entry=$root/usr/share/applications/robot-kovra.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")

# The desktop looks the program up in PATH, where the package put it; field
# codes (%f, %U, ...) stand for files it would pass, and there are none.
PATH=$root/usr/bin:$PATH
export PATH
eval "set -- $(echo "$exec_line" | sed 's/[[:space:]]*%[fFuUdDnNickvm]//g')"
"$@" 2>"$root/stderr" &
pid=$!

window=
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Robot Kovra$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    fail "no window \"Robot Kovra\" after 10 s from Exec=$exec_line"
    cat "$root/stderr" >&2
    exit 1
fi
[ "$(readlink "/proc/$pid/exe")" = "$root/usr/bin/robot-kovra" ] ||
    fail "the window's process runs $(readlink "/proc/$pid/exe"), not the packaged program"

# WM_CLASS(STRING) = "name", "class": the desktop matches StartupWMClass
# against the class.
class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*= ".*", "\(.*\)"$/\1/p')
[ "$class" = "$wm_class" ] || fail "the window's class is \"$class\", StartupWMClass \"$wm_class\""

# The cylinder in the frame's grey, below the menu bar, once it is drawn.
grey=0
for _ in $(seq 50); do
    grey=$(xwd -silent -id "$window" 2>/dev/null | convert xwd:- -gravity south \
        -crop 100%x85%+0+0 +repage -fuzz 3% -fill black -opaque '#808080' -fill white \
        +opaque black -format '%[fx:round(w*h*(1-mean))]' info: 2>/dev/null)
    [ "${grey:-0}" -gt 200 ] && break
    sleep 0.2
done
[ "${grey:-0}" -gt 200 ] || fail "the window shows $grey grey pixels: no cylinder drawn"

# File > Exit from the keyboard, as a person would.
xdotool mousemove --window "$window" 200 200 windowfocus --sync "$window"
xdotool key alt+f
sleep 0.5
xdotool key x
status=
for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        status=$?
        pid=
        break
    fi
    sleep 0.1
done
[ "$status" = 0 ] || fail "after File > Exit the program's status is \"${status:-still running}\""

# With no display: status 1 and a message saying so.
env -u DISPLAY "$@" 2>"$root/stderr"
status=$?
[ $status -eq 1 ] || fail "with no DISPLAY the status is $status"
grep -qi "display" "$root/stderr" || fail "with no DISPLAY it says: $(cat "$root/stderr")"

[ $failures -eq 0 ] || exit 1
echo "launch-entry: Exec=$exec_line opened \"Robot Kovra\" (class \"$class\", $grey grey pixels) and exited 0"
