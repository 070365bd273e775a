#!/usr/bin/env bash
# The main job, for a person to watch: builds everything, starts trayhost (the stand-in for
# the shell's notification area) under its own Xvfb display, lets sample programs add their
# icons, prints the tray's state and saves a screenshot to build/demo/. Installs what is
# missing first; ends every process it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
"$root/scripts/build.sh" win64

bin="$root/build/win64/bin"
out="$root/build/demo"
prefix="$root/build/win64/wineprefix-demo"
mkdir -p "$out"
rm -f "$out"/*.log "$out"/*.png "$out"/*.txt

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    "$root/scripts/wine_session.sh" stop "$prefix" || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$root/scripts/wine_session.sh" start "$prefix" x11
eval "$("$root/scripts/wine_session.sh" env "$prefix")"

# Waits until `trayctl ARGS` succeeds (at most about 10 s).
wait_for() {
    for _ in $(seq 1 100); do
        if wine "$bin/trayctl.exe" "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    echo "demo: trayhost did not answer to: $*" >&2
    return 1
}

tray_state() {
    wine "$bin/trayctl.exe" state 2>/dev/null | tr -d '\r'
}

echo "== starting trayhost on display $DISPLAY"
wine "$bin/trayhost.exe" >"$out/trayhost.log" 2>&1 &
pids+=($!)
wait_for state

echo "== sample programs add their icons"
cp "$root/scripts/demo/sample_icons.txt" "$out/sample_icons.txt"
wine "$bin/notifyclient.exe" --log="$(winepath -w "$out/notifyclient.log")" \
    --script="$(winepath -w "$out/sample_icons.txt")" >"$out/notifyclient.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    [ "$(tray_state | grep -c '^button ')" -ge 5 ] && break
    sleep 0.1
done

echo "== the tray as the shell shows it"
tray_state | tee "$out/tray_state.txt"
sleep 0.5
import -display "$DISPLAY" -window root "$out/tray.png"
echo "== screenshot: $out/tray.png"

echo "== a click on the first icon reaches its owner"
wine "$bin/trayctl.exe" click 0 513 >/dev/null 2>&1 || true
sleep 0.3
grep -E '^(callback|message)' "$out/notifyclient.log" | head -n 3 || true
echo "== done; ending every process of the demo"
