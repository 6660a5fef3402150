#!/bin/sh
# Builds the .deb with CPack, as `make package` does, and checks it: its
# control fields, Depends naming the package of every shared library the
# program links, and its unpacked tree.
#   package.sh CPACK BUILD_DIR OUT_DIR VERSION
set -u
cpack=$1
build=$2
out=$3
version=$4
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

rm -rf "$out"
mkdir -p "$out"
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    echo "FAIL: cpack:" >&2
    cat "$out/cpack.log" >&2
    exit 1
fi
rm -rf "$out/_CPack_Packages"
arch=$(dpkg --print-architecture)
deb=$out/robot-kovra_${version}_$arch.deb
if [ ! -f "$deb" ]; then
    echo "FAIL: no $deb; cpack made: $(ls "$out")" >&2
    exit 1
fi
echo "package: $deb"

Field() {
    dpkg-deb -f "$deb" "$1"
}
for pair in Package=robot-kovra Version=$version Architecture=$arch Section=graphics; do
    [ "$(Field "${pair%%=*}")" = "${pair#*=}" ] ||
        fail "${pair%%=*} is \"$(Field "${pair%%=*}")\", not \"${pair#*=}\""
done
depends=$(Field Depends)
echo "Depends: $depends"
# The package names alone: alternatives and version bounds dropped.
names=$(echo "$depends" | sed 's/[,|]/\n/g' | sed 's/(.*)//; s/[[:space:]]//g' | sort -u)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
program=$root/usr/bin/robot-kovra

# The Debian package that holds a library file; usr-merged systems list it
# under /usr/lib or /lib, so both are asked.
Owner() {
    for path in "$1" "$(realpath "$1")" "/usr$1" "${1#/usr}"; do
        owner=$(dpkg-query -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1)
        [ -n "$owner" ] && echo "$owner" && return 0
    done
    return 1
}

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || fail "readelf lists no shared library for $program"
for soname in $needed; do
    path=$(ldd "$program" | awk -v n="$soname" '$1 == n { print $3 }')
    package=$(Owner "$path") || { fail "$soname ($path) belongs to no package"; continue; }
    echo "$names" | grep -qx "$package" ||
        fail "the program links $soname from $package, which Depends does not name"
done
for package in libx11-6 libxft2 libglu1-mesa; do
    echo "$names" | grep -qx "$package" || fail "Depends does not name $package"
done

"$(dirname "$0")/check-tree.sh" "$root/usr" || failures=$((failures + 1))
[ $failures -eq 0 ]
