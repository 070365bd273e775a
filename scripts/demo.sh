#!/usr/bin/env bash
# The main job, for a person to watch: builds everything, starts trayhost (the stand-in for
# the shell's notification area) under its own Xvfb display, lets sample programs add their
# icons, writes a sample rule set (scripts/demo/rules.txt: one icon hidden from the tray,
# two with special positions, "Sort tray") and starts Quillory, which takes the tray over.
# Prints the tray's state before and after, saves screenshots to build/demo/, opens the
# Quillory menu from its own icon and chooses the hidden icon there (its owner reports the
# click), takes a window to the tray and back, then ends Quillory and shows that the hidden
# icon came back; starts it once more and kills it by its process id, and shows that the
# shell gives the hidden icon back by itself. Installs what is missing first; ends every
# process it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
mkdir -p "$root/build"
"$root/scripts/build.sh" win64

bin="$root/build/win64/bin"
out="$root/build/demo"
prefix="$root/build/win64/wineprefix-demo"
mkdir -p "$out"
rm -f "$out"/*.log "$out"/*.png "$out"/*.txt "$out"/*.out

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

echo "== the tray as the shell shows it, before Quillory"
tray_state | tee "$out/tray_before.txt"
sleep 0.5
import -display "$DISPLAY" -window root "$out/tray_before.png"

echo "== Quillory's sample settings (scripts/demo/rules.txt)"
key='HKCU\Software\KARNOVELDAHUS\QUILLORY'
wine reg delete "$key" /f >/dev/null 2>&1 || true
grep -v '^#' "$root/scripts/demo/rules.txt" | while read -r sub name value; do
    [ -n "$sub" ] || continue
    path=$key
    [ "$sub" = . ] || path="$key\\$sub"
    echo "   $sub $name = $value"
    wine reg add "$path" /v "$name" /t REG_DWORD /d "$((value))" /f >/dev/null 2>&1
done

echo "== starting Quillory; it takes over the tray that is already there"
rm -f "$bin/QUILLORY.LOG"
wine "$bin/quillory.exe" >"$out/quillory.out" 2>&1 &
first=$!
pids+=("$first")
# The backup program's icon (uID 7) leaves the tray once Quillory holds it.
for _ in $(seq 1 150); do
    state=$(tray_state)
    if grep -q 'tip=Quillory' <<<"$state" && ! grep -q 'uid=7 ' <<<"$state"; then break; fi
    sleep 0.1
done
sleep 1

echo "== the tray after interception: Backup hidden by its rule, Updates and the file"
echo "   transfer in their special places"
tray_state | tee "$out/tray_after.txt"
import -display "$DISPLAY" -window root "$out/tray.png"
echo "== screenshot: $out/tray.png (before: $out/tray_before.png)"

echo "== a program starts after the takeover: its icon (position 2, like the file transfer)"
echo "   lands in its sorted place at once, before every icon without a position"
wine "$bin/notifyclient.exe" --log="$(winepath -w "$out/newsreader.log")" \
    -e 'window news; add news 5 tip="News - 2 new" msg=0x8005; stay' >"$out/newsreader.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    tray_state | grep -q 'tip=News' && break
    sleep 0.1
done
sleep 0.3
tray_state | tee "$out/tray_new_icon.txt"
if ! grep -E '^button ' "$out/tray_new_icon.txt" | grep -v 'tip=Quillory' | sed -n 3p |
    grep -q 'tip=News'; then
    echo "demo: the new icon is not in its sorted place" >&2
    exit 1
fi

echo "== a click on the Updates icon (after Quillory's own) reaches its owner"
wine "$bin/trayctl.exe" click 1 513 >/dev/null 2>&1 || true
sleep 0.3
grep -E '^callback updater' "$out/notifyclient.log" | tail -n 1 || true

# --- minimize to tray -------------------------------------------------------------------
echo "== a window goes to the tray: the minimize hotkey (Ctrl+Alt+Num *) with it in front"
wine "$bin/diag_window_owner.exe" "Notes - unsaved" >"$out/notes.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    wine "$bin/quillory_command.exe" hotkey 2 "Notes - unsaved" >/dev/null 2>&1 && break
    sleep 0.1
done
for _ in $(seq 1 100); do
    tray_state | grep -q 'uid=4096 .*tip=Notes - unsaved' && break
    sleep 0.1
done
tray_state | grep 'uid=4096 ' | tee "$out/tray_minimized.txt"
import -display "$DISPLAY" -window root "$out/minimized.png"
if ! grep -q 'tip=Notes - unsaved' "$out/tray_minimized.txt"; then
    echo "demo: the window did not go to the tray" >&2
    exit 1
fi
echo "== a click on its icon brings the window back and the icon goes"
index=$(sed -n 's/^button index=\([0-9]*\) toolbar=1 .*uid=4096 .*/\1/p' "$out/tray_minimized.txt")
wine "$bin/trayctl.exe" click "$index" 514 >/dev/null 2>&1 || true
for _ in $(seq 1 100); do
    tray_state | grep -q 'uid=4096 ' || break
    sleep 0.1
done
if tray_state | grep -q 'uid=4096 '; then
    echo "demo: the window's icon stayed in the tray" >&2
    exit 1
fi
import -display "$DISPLAY" -window root "$out/restored.png"
echo "== screenshots: $out/minimized.png, $out/restored.png"
# --- end of minimize to tray ---------------------------------------------------------------

# ---- the tray menu (begin) -------------------------------------------------------------
echo "== a right click on Quillory's own icon opens the Quillory menu: the Backup icon, hidden"
echo "   from the tray by its rule, is listed there (alphabetical order, the first just above"
echo "   the separator)"
own=$(tray_state | grep '^button ' | grep 'tip=Quillory' | sed -n 's/^button index=\([0-9]*\) .*/\1/p' | head -n 1)
if [ -z "$own" ]; then
    echo "demo: Quillory's own icon is not in the tray" >&2
    exit 1
fi
wine "$bin/trayctl.exe" click "$own" 517 >/dev/null 2>&1
for _ in $(seq 1 50); do
    wine "$bin/quillory_command.exe" menu-open >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 0.5
import -display "$DISPLAY" -window root "$out/menu.png"
echo "== screenshot of the open menu: $out/menu.png"
echo "== choosing Backup with the keyboard (up from the bottom past Exit, Help, About and"
echo "   Settings, then Enter): its owner hears the click as if the tray had sent it"
for _ in 1 2 3 4 5; do wine "$bin/quillory_command.exe" menu-key 38 >/dev/null 2>&1; done
wine "$bin/quillory_command.exe" menu-key 13 >/dev/null 2>&1
for _ in $(seq 1 50); do
    [ "$(grep -c '^callback backup .*msg=0x8002 ' "$out/notifyclient.log")" -ge 2 ] && break
    sleep 0.1
done
grep '^callback backup ' "$out/notifyclient.log" | tail -n 2 | sed 's/^/   /'
if ! grep -q '^callback backup .*msg=0x8002 wparam=0x7 lparam=0x202$' "$out/notifyclient.log"; then
    echo "demo: the hidden icon's owner did not hear the click from the menu" >&2
    exit 1
fi
# ---- the tray menu (end) ---------------------------------------------------------------

echo "== Quillory exits and gives the hidden icon back"
wine "$bin/quillory_command.exe" 40001 >/dev/null 2>&1 || echo "demo: Quillory was not running" >&2
for _ in $(seq 1 100); do
    tray_state | grep -q 'tip=Quillory' || break
    sleep 0.1
done
sleep 0.5
tray_state | tee "$out/tray_exit.txt"
if grep -q 'uid=7 ' "$out/tray_exit.txt"; then
    echo "== the hidden Backup icon is back in the tray"
else
    echo "demo: the hidden icon did not come back" >&2
    exit 1
fi
echo "== Quillory's log ($bin/QUILLORY.LOG):"
tr -d '\r' <"$bin/QUILLORY.LOG" | sed 's/^/   /'

echo "== Quillory starts again and keeps the Backup icon from the tray once more"
# Only one instance runs: the first one must have ended.
for _ in $(seq 1 100); do
    kill -0 "$first" 2>/dev/null || break
    sleep 0.1
done
wine "$bin/quillory.exe" >"$out/quillory_again.out" 2>&1 &
qpid=$!
pids+=("$qpid")
for _ in $(seq 1 150); do
    state=$(tray_state)
    if grep -q 'tip=Quillory' <<<"$state" && ! grep -q 'uid=7 ' <<<"$state"; then break; fi
    sleep 0.1
done
tray_state | tee "$out/tray_again.txt"
if grep -q 'uid=7 ' "$out/tray_again.txt"; then
    echo "demo: the restarted Quillory did not hide the Backup icon" >&2
    exit 1
fi

echo "== Quillory is killed by its process id ($qpid): no exit, nothing given back by it"
{ kill -KILL "$qpid" && wait "$qpid"; } 2>/dev/null || true
for _ in $(seq 1 40); do
    tray_state | grep -q 'uid=7 ' && break
    sleep 0.05
done
tray_state | tee "$out/tray_killed.txt"
import -display "$DISPLAY" -window root "$out/tray_killed.png"
if grep -q 'uid=7 ' "$out/tray_killed.txt"; then
    echo "== the shell gave the hidden Backup icon back by itself (screenshot: $out/tray_killed.png)"
else
    echo "demo: the hidden icon did not come back after the kill" >&2
    exit 1
fi
echo "== done; ending every process of the demo"
