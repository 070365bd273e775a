#!/usr/bin/env bash
# Builds and runs every benchmark under Wine in the build's private prefix and prints what
# each measured. Benchmarks print ratios measured within one run, so the machine's load
# affects both sides alike; they are never part of the test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
"$root/scripts/build.sh" win64
prefix="$root/build/win64/wineprefix"
trap '"$root/scripts/wine_session.sh" stop "$prefix" || true' EXIT
for b in hook_forward_bench registry_bench tray_programs_bench; do
    echo "== $b"
    "$root/scripts/wine_run.sh" "$prefix" "$root/build/win64/bin/$b.exe" "$@" 2>/dev/null
done
