#!/usr/bin/env bash
# Configures and builds the configurations into build/<name>:
#   native (Linux, ASan+UBSan, the Win32-free core and its tests) and
#   win64 (every Windows deliverable, the tools and the Wine tests).
# Usage: scripts/build.sh [native] [win64] [win32]   (default: native win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(native win64)
jobs=$(nproc 2>/dev/null || echo 2)

for c in "${configs[@]}"; do
    dir="$root/build/$c"
    args=(-G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo)
    case "$c" in
    native) ;;
    win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
    win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake") ;;
    *) echo "build.sh: unknown configuration $c" >&2; exit 2 ;;
    esac
    # Configure every time: cheap on a configured folder, and components that appeared
    # since (a new folder with a CMakeLists.txt) are picked up.
    cmake "${args[@]}" >"$root/build/$c.configure.log" 2>&1 || {
        cat "$root/build/$c.configure.log" >&2; exit 1; }
    echo "== building $c"
    cmake --build "$dir" -j "$jobs"
done
