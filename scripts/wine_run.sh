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
exec wine "$@"
