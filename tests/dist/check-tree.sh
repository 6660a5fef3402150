#!/bin/sh
# Checks an installed Robot Kovra: exactly the program, its desktop entry,
# its icons and its manual page, each in the shape a desktop expects.
#   check-tree.sh PREFIX      (the install prefix, e.g. a scratch root's usr)
set -u
prefix=$1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in desktop-file-validate:desktop-file-utils identify:imagemagick man:man-db; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        echo "check-tree: ${tool%%:*} not found; install ${tool#*:} (scripts/install-deps.sh)" >&2
        exit 1
    fi
done

expected="bin/robot-kovra
share/applications/robot-kovra.desktop
share/icons/hicolor/48x48/apps/robot-kovra.png
share/icons/hicolor/scalable/apps/robot-kovra.svg
share/man/man1/robot-kovra.1.gz"
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files:
$actual
expected:
$expected"
[ -x "$prefix/bin/robot-kovra" ] || fail "bin/robot-kovra is not executable"

# The desktop entry: valid (hints are advice), and pointing at what was
# installed beside it.
entry=$prefix/share/applications/robot-kovra.desktop
if [ -f "$entry" ]; then
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    echo "$report" | grep -E "(error|warning):" && fail "the desktop entry has errors or warnings"
    Key() {
        sed -n "s/^$1=//p" "$entry"
    }
    for pair in "Type=Application" "Name=Robot Kovra" "Categories=Graphics;Education;" \
        "StartupWMClass=Robot Kovra" "Terminal=false"; do
        [ "$(Key "${pair%%=*}")" = "${pair#*=}" ] ||
            fail "desktop entry: ${pair%%=*} is \"$(Key "${pair%%=*}")\", not \"${pair#*=}\""
    done
    program=$(Key Exec | cut -d' ' -f1)
    [ "$program" = robot-kovra ] || fail "desktop entry: Exec runs \"$program\""
    icon=$(Key Icon)
    for file in 48x48/apps/$icon.png scalable/apps/$icon.svg; do
        [ -f "$prefix/share/icons/hicolor/$file" ] || fail "desktop entry: no icon $file"
    done
fi

png=$prefix/share/icons/hicolor/48x48/apps/robot-kovra.png
size=$(identify -format '%w %h' "$png" 2>&1)
[ "$size" = "48 48" ] || fail "the 48x48 icon is \"$size\""

# The manual page: gzipped, rendered by man without a warning, with the
# sections a user looks for.
page=$prefix/share/man/man1/robot-kovra.1.gz
if gzip -t "$page" 2>/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man: $warnings"
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION KEYS MENUS "EXIT STATUS" ENVIRONMENT; do
        echo "$text" | grep -qx "$section" || fail "man page: no section $section"
    done
    echo "$text" | sed -n '/^ENVIRONMENT$/,/^[A-Z]/p' | grep -q "DISPLAY" ||
        fail "man page: DISPLAY is not under ENVIRONMENT"
else
    fail "$page is not a gzip file"
fi

[ $failures -eq 0 ] || exit 1
echo "check-tree: $prefix holds a complete Robot Kovra"
