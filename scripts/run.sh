#!/usr/bin/env bash
# Builds harvex.exe and starts it: under Wine on Linux, on $DISPLAY when set, else on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh win

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$HOME/.harvex-wine}
if [ ! -d "$WINEPREFIX" ]; then
    echo "Making a Wine prefix in $WINEPREFIX (once, about 10 s)"
    wineboot -i </dev/null >/dev/null 2>&1 || true
fi

if [ -z "${DISPLAY:-}" ]; then
    display=:77
    if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
        Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
        sleep 1
    fi
    export DISPLAY=$display
    echo "No DISPLAY: Harvex runs on the virtual display $DISPLAY."
    echo "Look at it with:  DISPLAY=$DISPLAY import -window root harvex.png   (or x11vnc -display $DISPLAY)"
fi
echo "Starting build/win/harvex.exe; quit it with its Quit button or: WINEPREFIX=$WINEPREFIX wineserver -k"
exec wine build/win/harvex.exe
