#!/bin/sh
# Configures (once) and builds one mingw-w64 build of the program.
#   build.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE [CMAKE]
set -eu

source_dir=$1
build_dir=$2
toolchain=$3
cmake=${4:-cmake}

# The toolchain file names the compiler; say plainly when it is not installed.
compiler=$(sed -n 's/^set(TOOLCHAIN_PREFIX \(.*\))$/\1/p' "$toolchain")-g++
if ! command -v "$compiler" >/dev/null; then
    echo "windows: $compiler not found; install g++-mingw-w64 (scripts/install-deps.sh)" >&2
    exit 1
fi

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    "$cmake" -S "$source_dir" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
"$cmake" --build "$build_dir" -j 2
