#!/bin/sh
# Builds and runs the bench: the program beside the floor and, when Wine is
# installed, the Windows build under wine64. Prints the table and writes
# BUILD_DIR/bench.json.
#   run.sh BUILD_DIR [RUNS]     RUNS: start-ups of each program, 21 by default
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
runs=${2:-21}
wine=${WINE:-/usr/lib/wine/wine64}

# Quiet unless it fails: the table is what this prints.
if ! cmake --build "$build" -j 2 --target kovra-bench >"$build/bench-build.log" 2>&1; then
    cat "$build/bench-build.log" >&2
    exit 1
fi

# The Windows build and its Wine prefix, made once per build folder as the
# windows test tier makes them; the bench says what is missing and goes on.
if [ -x "$wine" ]; then
    "$source_dir/tests/windows/build.sh" "$source_dir" "$build/win64" \
        "$source_dir/cmake/toolchain-x86_64-w64-mingw32.cmake" >"$build/bench-win64.log" 2>&1 ||
        echo "bench: the Windows build failed (see $build/bench-win64.log)" >&2
    WINEPREFIX="$build/wine-prefix" "$source_dir/tests/windows/wine-prefix.sh" || true
fi
exec "$build/bench/kovra-bench" --ours "$build/app/robot-kovra" --floor "$build/bench/kovra-floor" \
    --hook "$build/bench/kovra-swap-hook.so" --runs "$runs" --json "$build/bench.json" \
    --wine "$wine" --exe "$build/win64/app/robot-kovra.exe" --prefix "$build/wine-prefix"
