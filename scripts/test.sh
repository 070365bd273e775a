#!/usr/bin/env bash
# Builds and runs every test: the native core tests (ASan/UBSan) and the Windows tests
# under Wine in a private prefix. Installs what is missing first. Ends every process it
# started, also when a test fails or the run is interrupted.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
"$root/scripts/build.sh" native win64

cleanup() { "$root/scripts/wine_session.sh" stop "$root/build/win64/wineprefix" || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM

jobs=$(nproc 2>/dev/null || echo 2)
status=0
summary=()
for c in native win64; do
    echo "== testing $c"
    log="$root/build/$c.ctest.log"
    if (cd "$root/build/$c" && ctest -j "$jobs" --output-on-failure --timeout 300) 2>&1 | tee "$log"; then
        :
    else
        status=1
    fi
    summary+=("$c: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
done
echo
printf '%s\n' "${summary[@]}"
passed=0; failed=0
for c in native win64; do
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$root/build/$c.ctest.log" | tail -n 1 || true)
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    [[ "$total" =~ ^[0-9]+$ ]] || { total=0; status=1; }
    [[ "$bad" =~ ^[0-9]+$ ]] || bad=0
    passed=$((passed + total - bad)); failed=$((failed + bad))
done
echo "$passed passed, $failed failed"
exit $status
