#!/usr/bin/env bash
# Builds harvex.exe and starts it under Wine: on $DISPLAY when set, else on a virtual display of its
# own. Then shows it at work: a sample card is plugged in and copied before your eyes, and every
# stick or card the desktop mounts while Harvex runs is given to it as a drive (see
# scripts/run_harvex.py and scripts/volume_watcher.py).
#
#   ./scripts/run.sh [--no-demo]
#
# --no-demo only starts the program. WINEPREFIX (default ~/.harvex-wine) is the Wine prefix;
# HARVEX_VIRTUAL_DISPLAY (default :77) the display number of the virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

demo_args=()
for arg in "$@"; do
    case "$arg" in
    --no-demo) demo_args+=(--no-demo) ;;
    -h | --help)
        sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "run.sh: unknown argument $arg (try --help)" >&2
        exit 2
        ;;
    esac
done

fail() {
    echo "run.sh: $*" >&2
    exit 1
}

./scripts/deps.sh || fail "installing what Harvex needs failed (see above). It uses apt-get: run it as root or as a user who may use sudo."
./scripts/build.sh win || fail "the build failed (see above)."

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$HOME/.harvex-wine}

# The display comes before anything of Wine: the first wine call starts the prefix's session, and
# that session keeps the display it was started with. A session started without one cannot show a
# window, however the display is set later.
virtual=()
if [ -z "${DISPLAY:-}" ]; then
    display=${HARVEX_VIRTUAL_DISPLAY:-:77}
    if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
        number=${display#:}
        if [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ]; then
            fail "the display $display is taken but does not answer. Remove /tmp/.X${number}-lock and /tmp/.X11-unix/X${number} if no X server runs there, or choose another: HARVEX_VIRTUAL_DISPLAY=:78 ./scripts/run.sh"
        fi
        Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        for _ in $(seq 100); do
            xdpyinfo -display "$display" >/dev/null 2>&1 && break
            sleep 0.1
        done
        xdpyinfo -display "$display" >/dev/null 2>&1 || fail "the virtual display $display (Xvfb) did not start. Try: Xvfb $display -screen 0 1024x768x24"
    fi
    export DISPLAY=$display
    virtual=(--virtual-display)
    echo "No DISPLAY: Harvex runs on the virtual display $DISPLAY (it stays for the next run)."
    echo "Look at it with:  DISPLAY=$DISPLAY import -window root harvex.png   (or x11vnc -display $DISPLAY)"
elif ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    fail "cannot open the display $DISPLAY. Check that it runs and that you may use it (xhost), or unset DISPLAY to use a virtual display."
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making a Wine prefix in $WINEPREFIX (once, about 10 s)"
    wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot could not make the prefix $WINEPREFIX. Remove it (rm -rf $WINEPREFIX) and run again."
fi
# Starts the prefix's session now, on this display, with its helper processes writing nowhere: they
# would otherwise hold on to this script's output.
wine wineboot </dev/null >/dev/null 2>&1 || true

echo "Starting build/win/harvex.exe; quit it with its Quit button or: WINEPREFIX=$WINEPREFIX wineserver -k"
exec python3 scripts/run_harvex.py "${virtual[@]}" "${demo_args[@]}"
