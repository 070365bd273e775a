#!/usr/bin/env bash
# Photographs every dialog and settings page of the program, with the built-in texts and in
# every shipped language, under a private Xvfb, and writes PNGs to build/screenshots/.
# The gallery program also prints the layout problems it measures (controls outside the
# dialog, overlapping controls, cut-off texts); they are collected in problems.txt.
#   scripts/dialog_screenshots.sh [BUILD_DIR]     (default build/win64, built beforehand)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
gallery="$build/bin/dialog_gallery.exe"
[ -f "$gallery" ] || { echo "build dialog_gallery first: cmake --build $build --target dialog_gallery" >&2; exit 1; }
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
echo "screenshots in $out"
if [ -s "$out/problems.txt" ]; then
    echo "layout problems:"
    cat "$out/problems.txt"
fi
