#!/bin/sh
# Makes the Wine prefix the Wine tests share, once per build folder: the
# slow part of running the Windows build, so later runs reuse it.
set -u
. "$(dirname "$0")/wine-session.sh"
RequireTools

if [ -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: reusing the prefix $WINEPREFIX"
    exit 0
fi
# No display: nothing here needs one, and the update notice stays off screen.
unset DISPLAY
start=$(Now)
if ! "$WINE" wineboot -i >"$session_dir/wineboot.log" 2>&1 || ! "$WINESERVER" -w; then
    echo "wine: wineboot failed in $WINEPREFIX" >&2
    cat "$session_dir/wineboot.log" >&2
    exit 1
fi
echo "wine: prefix $WINEPREFIX made in $(Elapsed "$start")s"
