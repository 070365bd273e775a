#!/usr/bin/env bash
# Installs, from Debian's archive only, what building and testing Quillory needs,
# and nothing that is already there. Safe to run again: on a ready machine it
# checks and returns without touching apt.
set -euo pipefail

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

packages=(
    cmake ninja-build g++ make
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
    wine wine64 wine32:i386
    xvfb xauth imagemagick x11-utils
    googletest
    openssl osslsigncode
    fp-utils libchm-bin  # chmcmd compiles the help; its test reads the file with chmlib
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && [ $need_i386 -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ $need_i386 -eq 1 ]; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

# The posix-thread flavour of the cross compilers gives std::thread; make it the default.
for t in x86_64-w64-mingw32 i686-w64-mingw32; do
    for tool in g++ gcc; do
        if [ -e "/usr/bin/$t-$tool-posix" ]; then
            $SUDO update-alternatives --set "$t-$tool" "/usr/bin/$t-$tool-posix" >/dev/null 2>&1 || true
        fi
    done
done
echo "bootstrap: done"
