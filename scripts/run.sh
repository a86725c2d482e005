#!/usr/bin/env bash
# README command 1: set up, build, plug the simulator's demo tuners and start Romflux.
#
# With an X display ($DISPLAY) Romflux opens there and the script waits until you close
# it. Without one it runs on a private virtual display, takes a screenshot and says
# where it wrote it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
"$here/build.sh"

source "$here/wine-env.sh"
out="$OMBREL_BUILD/run"
mkdir -p "$out"
bin="$OMBREL_BUILD/bin"

# Windows need a display driver: this run uses its own prefix, next to the test prefix.
export OMBREL_WINEPREFIX="$OMBREL_BUILD/wineprefix-x11"
export WINEPREFIX="$OMBREL_WINEPREFIX"

xvfb_pid=""
cleanup() {
    wine_server_stop
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    display=":$(( 90 + RANDOM % 9 ))"
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY="$display"
    for _ in $(seq 50); do
        xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
        sleep 0.1
    done
fi

wine_prefix_init x11
wine_server_start

echo "run: plugging the simulator's demo tuners"
wine "$bin/tunersim.exe" demo </dev/null >/dev/null
wine "$bin/tunersim.exe" list </dev/null | tee "$out/tuners.txt"

if [ ! -f "$bin/Romflux.exe" ]; then
    echo "run: Romflux.exe is not built; this is what the system device enumerator sees:"
    wine "$bin/tunersim.exe" enum </dev/null | tee "$out/enumerator.txt"
    echo "run: output written to $out"
    exit 0
fi

cd "$bin"
if [ "$headless" -eq 0 ]; then
    echo "run: starting Romflux on $DISPLAY (close its window to end)"
    wine explorer /desktop=Romflux,800x600 Romflux.exe </dev/null >/dev/null 2>&1
    exit 0
fi

echo "run: no X display; starting Romflux on the virtual display $DISPLAY"
wine explorer /desktop=Romflux,420x280 Romflux.exe </dev/null >/dev/null 2>&1 &
sleep 6
/usr/bin/import -window root -crop 420x280+0+0 +repage "$out/romflux.png"
echo "run: Romflux's window with the demo tuners: $out/romflux.png"
echo "run: the demo tuners: $out/tuners.txt"
