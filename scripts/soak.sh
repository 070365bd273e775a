#!/usr/bin/env bash
# The soak: Quillory and trayhost under owners that add, modify and delete icons and die at
# random, for MINUTES minutes (default 30), in a Wine prefix of its own so that tests and
# benchmarks can run beside it. Prints a line every minute (Quillory's and trayhost's
# private bytes, handle and GDI counts, the registry's size, faults) and fails when an
# icon is lost or doubled or a counter keeps growing. Not part of the test suite.
#   scripts/soak.sh [MINUTES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-30}
"$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
"$root/scripts/build.sh" win64 >/dev/null
prefix="$root/build/win64/wineprefix-soak"
trap '"$root/scripts/wine_session.sh" stop "$prefix" || true' EXIT
"$root/scripts/wine_run.sh" "$prefix" "$root/build/win64/bin/soak.exe" "$minutes" 2>/dev/null |
    stdbuf -oL tr -d '\r'
exit "${PIPESTATUS[0]}"
