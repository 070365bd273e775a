#!/usr/bin/env bash
# Builds and runs every benchmark under Wine in the build's private prefix and prints what
# each measured, then one summary line per figure. Benchmarks print ratios measured within
# one run, in interleaved rounds, so the machine's load weighs on both sides of a ratio
# alike; each figure is the median of its rounds. They are never part of the test suite.
#   scripts/bench.sh            all benchmarks
#   scripts/bench.sh NAME...    only these (hook_forward_bench, registry_bench, rest_bench,
#                               tray_programs_bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
"$root/scripts/build.sh" win64
prefix="$root/build/win64/wineprefix"
trap '"$root/scripts/wine_session.sh" stop "$prefix" || true' EXIT
benches=("$@")
[ ${#benches[@]} -gt 0 ] || benches=(hook_forward_bench registry_bench rest_bench tray_programs_bench)
out=$(mktemp "${TMPDIR:-/tmp}/qly-bench.XXXXXX")
trap 'rm -f "$out"; "$root/scripts/wine_session.sh" stop "$prefix" || true' EXIT
for b in "${benches[@]}"; do
    echo "== $b"
    "$root/scripts/wine_run.sh" "$prefix" "$root/build/win64/bin/$b.exe" 2>/dev/null |
        tr -d '\r' | tee -a "$out"
done
echo
echo "== summary"
grep '^summary: ' "$out" | sed 's/^summary: //'
