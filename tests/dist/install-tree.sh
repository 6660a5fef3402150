#!/bin/sh
# `cmake --install` into a scratch prefix, then the installed tree's check.
#   install-tree.sh CMAKE BUILD_DIR
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
if ! "$1" --install "$2" --prefix "$dir/prefix" >"$dir/install.log" 2>&1; then
    echo "FAIL: cmake --install:" >&2
    cat "$dir/install.log" >&2
    exit 1
fi
"$(dirname "$0")/check-tree.sh" "$dir/prefix"
