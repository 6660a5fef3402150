#!/bin/sh
# Runs a command on a private X server and stops the server afterwards.
#   with-xvfb.sh [--depth N] [--size WxH] command [args...]
# The command sees the server in DISPLAY; its exit status is returned.
set -u
depth=24
size=1024x768
while [ $# -gt 0 ]; do
    case $1 in
    --depth) depth=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "with-xvfb: no command given" >&2
    exit 2
fi

dir=$(mktemp -d)
mkfifo "$dir/displayfd"
Xvfb -displayfd 3 -screen 0 "${size}x${depth}" -nolisten tcp 3>"$dir/displayfd" \
    2>"$dir/xvfb.log" &
xvfb=$!
stop() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$dir"
}
trap 'stop; exit 129' HUP
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM

# Xvfb writes its display number once it accepts connections; nothing if it failed.
number=
read -r number <"$dir/displayfd"
if [ -z "$number" ]; then
    echo "with-xvfb: Xvfb did not start:" >&2
    cat "$dir/xvfb.log" >&2
    stop
    exit 1
fi

DISPLAY=":$number" "$@"
status=$?
stop
exit $status
