#!/usr/bin/env bash
# The emulator ctest runs Windows test programs with: wine in this build's private prefix.
# The prefix is prepared on first use (under a lock, since ctest runs discovery and tests
# in parallel), so running ctest by hand works too.
#   wine_run.sh PREFIX program.exe [args...]
set -euo pipefail
prefix=${1:?prefix}
shift
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export DISPLAY=${QLY_DISPLAY:-}
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    # The lock must not be inherited by Wine's long-lived processes, or it is never released.
    "$here/wine_session.sh" start "$prefix" null 9>&-
) 9>"$prefix.lock"

# Now and then (about once in a thousand starts here) Wine fails to create the process at all and
# its start.exe reports "ShellExecuteEx failed" before the program ran a single line. That is the
# harness failing, not the program under test, so such a start is tried again, and says so. Any
# other failure is the program's own and is passed on untouched.
# start.exe has been seen to say so on either stream, so both are kept and searched.
errlog=$(mktemp "${TMPDIR:-/tmp}/qly-wine-run.XXXXXX")
outlog=$(mktemp "${TMPDIR:-/tmp}/qly-wine-run.XXXXXX")
trap 'rm -f "$errlog" "$outlog"' EXIT
for attempt in 1 2 3; do
    # Each stream goes through its own tee (kept and shown on the caller's same stream).
    set +e
    ( { wine "$@" 2>&1 1>&3 3>&- | tee "$errlog" >&2 3>&-; exit "${PIPESTATUS[0]}"; } 3>&1 ) |
        tee "$outlog"
    rc=${PIPESTATUS[0]}
    set -e
    if [ "$rc" -eq 0 ] || ! grep -q "ShellExecuteEx failed" "$errlog" "$outlog"; then
        exit "$rc"
    fi
    echo "wine_run: Wine could not start $1 (attempt $attempt of 3)" >&2
    sleep 0.5
done
exit "$rc"
