#!/bin/sh
# Packs the two Windows builds into BUILD/robot-kovra-windows.zip as
# robot-kovra-win32.exe (32-bit) and robot-kovra-win64.exe (64-bit); each
# runs on its own, needing only DLLs every Windows has.
#   windows-zip.sh BUILD     (the Linux build folder; the builds are in win32/, win64/)
set -eu
build=$(cd "$1" && pwd)
if ! command -v zip >/dev/null; then
    echo "windows: zip not found; install zip (scripts/install-deps.sh)" >&2
    exit 1
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for name in win32 win64; do
    exe=$build/$name/app/robot-kovra.exe
    if [ ! -f "$exe" ]; then
        echo "windows: $exe is not built (make windows builds it)" >&2
        exit 1
    fi
    cp "$exe" "$dir/robot-kovra-$name.exe"
done
zip=$build/robot-kovra-windows.zip
rm -f "$zip"
(cd "$dir" && zip -q -X "$zip" robot-kovra-win32.exe robot-kovra-win64.exe)
echo "windows: $zip"
