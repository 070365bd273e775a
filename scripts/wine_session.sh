#!/usr/bin/env bash
# A private Wine session for tests and the demo.
#
#   wine_session.sh start PREFIX [null|x11]   prepare PREFIX (once; reused while valid) and
#                                             start a persistent wineserver for it. With x11
#                                             an Xvfb of our own is started too; its display
#                                             is written to PREFIX/.qly-display.
#   wine_session.sh stop PREFIX               end every Wine process of PREFIX and our Xvfb.
#   wine_session.sh env PREFIX                print the environment lines to eval.
#
# Processes are ended by their server (wineserver -k) and Xvfb by the pid we started,
# never by name, so other sessions on the machine are left alone.
set -euo pipefail

cmd=${1:?usage: wine_session.sh start|stop|env PREFIX [null|x11]}
prefix=${2:?prefix folder missing}
mode=${3:-null}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX="$prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export WINEARCH=win64

stamp="$prefix/.qly-ready-$mode"
log="$prefix.log"

start_xvfb() {
    local pidfile="$prefix/.qly-xvfb.pid"
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        return
    fi
    local n
    for n in $(seq 90 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$prefix.xvfb.log" 2>&1 &
        local pid=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            echo "$pid" >"$pidfile"
            echo ":$n" >"$prefix/.qly-display"
            return
        fi
    done
    echo "wine_session: could not start Xvfb" >&2
    exit 1
}

write_registry() {
    local reg="$prefix/qly-settings.reg"
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
        echo '"ShowCrashDialog"=dword:00000000'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\Drivers]'
        if [ "$mode" = null ]; then
            echo '"Graphics"="null"'
        else
            echo '"Graphics"=-'
        fi
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
        echo '"Decorated"="N"'
    } >"$reg"
    wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >>"$log" 2>&1
}

# Is a wineserver of this prefix running? (Found by its environment, not by name alone.)
server_running() {
    local p
    for p in $(pgrep -x wineserver64 2>/dev/null; pgrep -x wineserver 2>/dev/null); do
        { tr "\\0" "\\n" <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && return 0
    done
    return 1
}

case "$cmd" in
start)
    mkdir -p "$prefix"
    if [ "$mode" = x11 ]; then
        start_xvfb
        export DISPLAY
        DISPLAY=$(cat "$prefix/.qly-display")
    else
        export DISPLAY=
    fi
    if [ -f "$stamp" ] && [ -f "$prefix/system.reg" ] && server_running; then
        exit 0
    fi
    if [ ! -f "$stamp" ] || [ ! -f "$prefix/system.reg" ]; then
        wineserver -k >/dev/null 2>&1 || true
        [ "$mode" = x11 ] || rm -rf "$prefix"
        mkdir -p "$prefix"
        [ "$mode" = x11 ] && start_xvfb
        wineboot -i </dev/null >"$log" 2>&1
        write_registry
        wineserver -w </dev/null >/dev/null 2>&1
        touch "$stamp"
    fi
    server_running && exit 0
    # A persistent server makes every later program start warm. Neither it nor Wine's
    # background services may hold the caller's output open (ctest would wait for them),
    # so the first program of the session is one whose output goes nowhere.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
stop)
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    pidfile="$prefix/.qly-xvfb.pid"
    if [ -f "$pidfile" ]; then
        kill "$(cat "$pidfile")" 2>/dev/null || true
        rm -f "$pidfile" "$prefix/.qly-display"
    fi
    ;;
env)
    echo "export WINEPREFIX='$prefix' WINEDEBUG='$WINEDEBUG' WINEDLLOVERRIDES='$WINEDLLOVERRIDES'"
    if [ -f "$prefix/.qly-display" ]; then
        echo "export DISPLAY='$(cat "$prefix/.qly-display")'"
    else
        echo "export DISPLAY="
    fi
    ;;
*)
    echo "usage: wine_session.sh start|stop|env PREFIX [null|x11]" >&2
    exit 2
    ;;
esac
