#!/usr/bin/env bash
# Photographs every dialog and settings page of the program, and the tray menu open over a
# tray with sample icons, with the built-in texts and in every shipped language, under a
# private Xvfb, and writes PNGs to build/screenshots/.
# The gallery program also prints the layout problems it measures (controls outside the
# dialog, overlapping controls, cut-off texts); they are collected in problems.txt.
#   scripts/dialog_screenshots.sh [BUILD_DIR]     (default build/win64, built beforehand)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
gallery="$build/bin/dialog_gallery.exe"
[ -f "$gallery" ] || { echo "build dialog_gallery first: cmake --build $build --target dialog_gallery" >&2; exit 1; }
for tool in quillory trayhost trayctl notifyclient quillory_command; do
    [ -f "$build/bin/$tool.exe" ] || { echo "build $tool first: cmake --build $build" >&2; exit 1; }
done
prefix="$build/wineprefix-screenshots"
out="$root/build/screenshots"
mkdir -p "$out"
rm -f "$out"/*.png "$out/problems.txt"

mkdir -p "$prefix"  # the session keeps its Xvfb pid file inside the prefix
"$root/scripts/wine_session.sh" start "$prefix" x11
trap '"$root/scripts/wine_session.sh" stop "$prefix"' EXIT
eval "$("$root/scripts/wine_session.sh" env "$prefix")"

dialogs=(101 108 113 117 118 119 120 121 122)
for language in builtin english german french; do
    lng=""
    [ "$language" = builtin ] || lng="Z:$root/LNG/$language.lng"
    for id in "${dialogs[@]}"; do
        wine "$gallery" "$id" "$lng" 2500 >"$out/.gallery.txt" 2>/dev/null &
        pid=$!
        sleep 1.5
        import -display "$DISPLAY" -window root -crop 680x520+0+0 +repage "$out/${id}_${language}.png"
        wait "$pid" || echo "dialog $id ($language): gallery ended with an error" >>"$out/problems.txt"
        sed "s/^/$language: /" "$out/.gallery.txt" >>"$out/problems.txt"
    done
done
rm -f "$out/.gallery.txt"

# Ends the Quillory of this pid by its Exit command, asked again while the command is not
# taken (a menu still closing ignores it), and by its pid after 30 s; the next start must
# not meet this one's instance lock.
end_quillory() {
    for _ in $(seq 1 60); do
        kill -0 "$1" 2>/dev/null || break
        wine "$bin/quillory_command.exe" 40001 >/dev/null 2>&1 || true
        sleep 0.5
    done
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# The tray menu: Quillory takes over trayhost's tray with the demo's sample icons and rules
# (one icon hidden from the tray, listed in the menu) and opens its menu from its own icon.
bin="$build/bin"
key='HKCU\Software\KARNOVELDAHUS\QUILLORY'
wine reg delete "$key" /f >/dev/null 2>&1 || true
grep -v '^#' "$root/scripts/demo/rules.txt" | while read -r sub name value; do
    [ -n "$sub" ] || continue
    path=$key
    [ "$sub" = . ] || path="$key\\$sub"
    wine reg add "$path" /v "$name" /t REG_DWORD /d "$((value))" /f >/dev/null 2>&1
done
wine "$bin/trayhost.exe" >/dev/null 2>&1 &
wine "$bin/notifyclient.exe" --script="$(winepath -w "$root/scripts/demo/sample_icons.txt")" \
    >/dev/null 2>&1 &
for language in builtin english german french; do
    if [ "$language" = builtin ]; then
        wine reg delete "$key" /v Language /f >/dev/null 2>&1 || true
    else
        wine reg add "$key" /v Language /t REG_SZ /d "Z:$root/LNG/$language.lng" /f >/dev/null 2>&1
    fi
    wine "$bin/quillory.exe" >/dev/null 2>&1 &
    quillory=$!
    # Taken over once the icon its rule hides (uID 7) has left the tray.
    for _ in $(seq 1 150); do
        state=$(wine "$bin/trayctl.exe" state 2>/dev/null | tr -d '\r' || true)
        grep -q 'tip=Quillory' <<<"$state" && ! grep -q 'uid=7 ' <<<"$state" && break
        sleep 0.1
    done
    wine "$bin/quillory_command.exe" menu >/dev/null 2>&1 || true
    for _ in $(seq 1 50); do
        wine "$bin/quillory_command.exe" menu-open >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 0.5
    if wine "$bin/quillory_command.exe" menu-open >/dev/null 2>&1; then
        import -display "$DISPLAY" -window root "$out/tray_menu_${language}.png"
        wine "$bin/quillory_command.exe" menu-key 27 >/dev/null 2>&1 || true
    else
        echo "tray menu ($language): the menu did not open" >>"$out/problems.txt"
    fi
    sleep 0.3
    end_quillory "$quillory"
done

# The Tray Programs page as the running program fills it: the sample icons above (one
# hidden from the tray, three with special positions) and a rule of a program that is not
# running.
wine reg delete "$key" /v Language /f >/dev/null 2>&1 || true
wine reg add "$key\\RULES" /v 00000004mailwatch.exe /t REG_DWORD /d $((0x40C)) /f >/dev/null 2>&1
wine "$bin/quillory.exe" >/dev/null 2>&1 &
quillory=$!
for _ in $(seq 1 150); do
    state=$(wine "$bin/trayctl.exe" state 2>/dev/null | tr -d '\r' || true)
    grep -q 'tip=Quillory' <<<"$state" && ! grep -q 'uid=7 ' <<<"$state" && break
    sleep 0.1
done
wine "$bin/quillory_command.exe" 1004 >/dev/null 2>&1 || echo "Tray Programs page: Quillory was not running" >>"$out/problems.txt"
sleep 2.5
import -display "$DISPLAY" -window root "$out/108_tray_programs_running.png"
end_quillory "$quillory"

# The About box paints its own face, which no template shows, and the password dialog is
# centred by the program: both are photographed as the running program shows them, with a
# settings password "Quillory" stored in its scrambled form.
wine reg delete "$key" /f >/dev/null 2>&1 || true
read -r word bytes < <(python3 - <<'PY'
typed = b"Quillory"
state, out = 0xC3, []
for c in typed:
    state ^= c
    state = ((state >> 1) | (state << 7)) & 0xFF
    out.append(state)
w = (len(typed) & 0x7FFFFFFF) ^ 0x3C9E51A7
w = ((w >> 13) | (w << 19)) & 0xFFFFFFFF
print(w, bytes(out).hex())
PY
)
wine reg add "$key" /v hot_key_vkey_00 /t REG_DWORD /d "$word" /f >/dev/null 2>&1
wine reg add "$key" /v hot_key_mod_00 /t REG_BINARY /d "$bytes" /f >/dev/null 2>&1
wine reg add "$key" /v FlagSounds /t REG_DWORD /d 0 /f >/dev/null 2>&1
# trayhost from the tray menu above is still there.
wine "$bin/quillory.exe" >/dev/null 2>&1 &
qly_pid=$!
sleep 4
wine "$bin/quillory_command.exe" 1005 >/dev/null 2>&1 || echo "About box: Quillory was not running" >>"$out/problems.txt"
sleep 1.5
import -display "$DISPLAY" -window root "$out/101_about_running.png"
wine "$bin/quillory_command.exe" 1004 >/dev/null 2>&1 &
sleep 2.5
import -display "$DISPLAY" -window root "$out/121_password_running.png"
kill "$qly_pid" 2>/dev/null || true
sleep 1

# The settings sheet of a running Quillory, each page filled from real settings (no
# password now, so the sheet opens at once).
wine reg delete "$key" /v hot_key_vkey_00 /f >/dev/null 2>&1 || true
wine reg delete "$key" /v hot_key_mod_00 /f >/dev/null 2>&1 || true
wine "$bin/quillory.exe" >/dev/null 2>&1 &
qly_pid=$!
sleep 4
wine "$bin/quillory_command.exe" 1004 >/dev/null 2>&1 || echo "settings: Quillory was not running" >>"$out/problems.txt"
sleep 2
for page in 0 1 2 3; do
    wine "$bin/quillory_command.exe" settings-page "$page" >/dev/null 2>&1 ||
        echo "settings page $page: no sheet" >>"$out/problems.txt"
    sleep 1.5
    import -display "$DISPLAY" -window root "$out/sheet_page_${page}_running.png"
done
kill "$qly_pid" 2>/dev/null || true
wine reg delete "$key" /f >/dev/null 2>&1 || true

# The AutoStart Programs page of the running program, with an enabled and a disabled entry
# in this user's Run key.
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run" /v "Sample Agent" /t REG_SZ /d 'C:\windows\notepad.exe /min' /f >/dev/null 2>&1
wine reg add "$run-" /v "Paused Tool" /t REG_SZ /d 'C:\windows\regedit.exe' /f >/dev/null 2>&1
wine "$bin/quillory.exe" >/dev/null 2>&1 &
qly_pid=$!
sleep 4
wine "$bin/quillory_command.exe" 1004 >/dev/null 2>&1 || echo "AutoStart page: Quillory was not running" >>"$out/problems.txt"
sleep 2
wine "$bin/quillory_command.exe" settings-page 1 >/dev/null 2>&1 || echo "AutoStart page: no settings sheet" >>"$out/problems.txt"
sleep 1.5
import -display "$DISPLAY" -window root "$out/122_autostart_running.png"
wine "$bin/quillory_command.exe" 40001 >/dev/null 2>&1 || true
sleep 1
kill "$qly_pid" 2>/dev/null || true
wine reg delete "$run" /v "Sample Agent" /f >/dev/null 2>&1 || true
wine reg delete "$run-" /f >/dev/null 2>&1 || true
wine reg delete "$key" /f >/dev/null 2>&1 || true
# Setup as a user meets it, from an unpacked product folder: the folder dialog, then the
# first question; the rest is declined.
# A fresh machine: no installation left from an earlier run of this script (in the 64-bit
# view of the registry, where Quillory writes; wine's reg.exe reads the 32-bit one).
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillory'
wine reg delete "$uninstall" /reg:64 /f >/dev/null 2>&1 || true
src="$prefix/drive_c/qly unpacked"
mkdir -p "$src"
cp "$bin/quillory.exe" "$src/Quillory.EXE"
cp "$bin/QLYDLL.DLL" "$bin/RUNQLY.EXE" "$src/"
wine "$src/Quillory.EXE" -I >/dev/null 2>&1 &
setup_pid=$!
sleep 3
import -display "$DISPLAY" -window root "$out/117_setup_running.png"
wine "$bin/quillory_command.exe" press "Quillory Setup - Installation folder" 1234 >/dev/null 2>&1 ||
    echo "setup: no folder dialog" >>"$out/problems.txt"
sleep 3
import -display "$DISPLAY" -window root "$out/setup_question_running.png"
wine "$bin/quillory_command.exe" press "Quillory Setup " 7 >/dev/null 2>&1 ||
    echo "setup: no Start-menu question" >>"$out/problems.txt"
sleep 9
wine "$bin/quillory_command.exe" press "Quillory Setup " 2 >/dev/null 2>&1 || true
sleep 1
kill "$setup_pid" 2>/dev/null || true
wine reg delete "$uninstall" /reg:64 /f >/dev/null 2>&1 || true
wine reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' /v QUILLORY /reg:64 /f >/dev/null 2>&1 || true
wine reg delete "$key" /f >/dev/null 2>&1 || true
echo "screenshots in $out"
if [ -s "$out/problems.txt" ]; then
    echo "layout problems:"
    cat "$out/problems.txt"
fi
