#!/bin/sh
# Checks a Windows build of the program without running it: the executable
# format, the GUI subsystem, DLL imports limited to what every Windows has,
# and the menu and dialog compiled into its resources.
#   check-pe.sh EXE TOOL_PREFIX FORMAT     e.g. robot-kovra.exe i686-w64-mingw32 pei-i386
set -u

exe=$1
tools=$2
format=$3
failures=0

fail() {
    echo "check-pe: $exe: $*" >&2
    failures=$((failures + 1))
}

if ! command -v "$tools-objdump" >/dev/null; then
    echo "check-pe: $tools-objdump not found (package binutils-mingw-w64)" >&2
    exit 1
fi
headers=$("$tools-objdump" -p "$exe") || { echo "check-pe: cannot read $exe" >&2; exit 1; }

echo "$headers" | grep -q "file format $format\$" ||
    fail "not $format: $(echo "$headers" | grep -m1 'file format')"

# 2 is the GUI subsystem: no console window opens beside the program's.
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002' ||
    fail "not a GUI program: $(echo "$headers" | grep -m1 '^Subsystem')"

# Anything else (libgcc, libstdc++, winpthread) would have to ship with it.
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr "[:upper:]" "[:lower:]" | sort -u)
echo "imports: $(echo "$imports" | tr "\n" " ")"
for dll in $imports; do
    case $dll in
    kernel32.dll | user32.dll | gdi32.dll | opengl32.dll | glu32.dll | msvcrt.dll) ;;
    api-ms-win-crt-*.dll) ;;
    *) fail "imports $dll, which is not a system DLL" ;;
    esac
done
for dll in opengl32.dll glu32.dll; do
    echo "$imports" | grep -qx "$dll" || fail "does not import $dll"
done

# The resource tree as objdump prints it: types at one depth, ids one deeper.
# RT_MENU is 4 and RT_DIALOG is 5; the program loads menu 101 and dialog 102.
tree=$(echo "$headers" | awk '
    /Resource Directory section/ { on = 1 }
    on && /^[0-9a-f]+   Entry: ID:/ { sub(",", "", $4); type = $4 }
    on && /^[0-9a-f]+     Entry: ID:/ { sub(",", "", $4); print type, $4 }')
for pair in "0x000004 0x000065" "0x000005 0x000066"; do
    echo "$tree" | grep -qx "$pair" || fail "no resource (type id) $pair"
done

# The texts are UTF-16 in the section; dropping the zero bytes leaves them readable.
rsrc=$(mktemp)
trap 'rm -f "$rsrc"' EXIT
"$tools-objcopy" -O binary -j .rsrc "$exe" "$rsrc" || fail "no .rsrc section"
for text in "&File" "E&xit" "Robot" "Cylinder" "Arm1" "Arm2" "&Help" "&About" "About OpenGL"; do
    tr -d '\000' <"$rsrc" | grep -aqF -- "$text" || fail "resources lack \"$text\""
done

[ "$failures" -eq 0 ] || exit 1
echo "check-pe: $exe: $format, GUI, system DLLs only, menu 101 and dialog 102"
