#!/bin/sh
# The zip `make windows` leaves: exactly the two programs, the 32-bit one
# and the 64-bit one, each the build of its name.
#   windows-zip.sh BUILD_DIR
set -u
build=$1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$(dirname "$0")/../../scripts/windows-zip.sh" "$build" || exit 1
zip=$build/robot-kovra-windows.zip
names=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
[ "$names" = "robot-kovra-win32.exe robot-kovra-win64.exe " ] || fail "the zip holds: $names"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
for pair in win32:pei-i386 win64:pei-x86-64; do
    name=${pair%%:*}
    exe=$dir/robot-kovra-$name.exe
    format=$(x86_64-w64-mingw32-objdump -f "$exe" 2>/dev/null | sed -n 's/.*file format //p')
    [ "$format" = "${pair#*:}" ] || fail "robot-kovra-$name.exe is \"$format\", not ${pair#*:}"
    cmp -s "$exe" "$build/$name/app/robot-kovra.exe" || fail "robot-kovra-$name.exe is not the $name build"
done
[ $failures -eq 0 ] || exit 1
echo "windows-zip: $zip holds $names"
