#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots/ on a private virtual display (Xvfb), in a
# Wine prefix of its own that draws real windows (not the tests' headless prefix):
#   talvex-remote.png, talvex-ci.png         the companion programs with the demo tuners (the
#                                            remote's with a tuner chosen and keys pressed)
#   talvex-ci-menu.png, talvex-ci-enquiry.png the CI companion in a module's menu and enquiry
#   romflux-main.png, romflux-about.png,     Romflux's dialog, its About box, a firmware
#   romflux-progress.png, romflux-success.png update under way and its success message
# The Romflux pictures are taken once bin/Romflux.exe is built. Safe to run again: the
# pictures are replaced, the simulator is reset, and the display and the prefix's
# wineserver are stopped on the way out, also after a failure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/wine-env.sh"

bin="$OMBREL_BUILD/bin"
out="$OMBREL_ROOT/docs/screenshots"
work="$OMBREL_BUILD/screenshots"
display="${OMBREL_SHOTS_DISPLAY:-:99}"
import=/usr/bin/import
convert=/usr/bin/convert

say() { echo "screenshots: $*"; }
die() { say "$*" >&2; exit 1; }

targets=(TalvexRemote TalvexCI tunersim shotdriver)
if [ -f "$OMBREL_ROOT/updater/CMakeLists.txt" ]; then targets+=(Romflux); fi
say "building ${targets[*]}"
"$here/build.sh" "${targets[@]}" >/dev/null || die "the build failed (see scripts/build.sh ${targets[*]})"
for exe in Tools/TalvexRemote.exe Tools/TalvexCI.exe tunersim.exe shotdriver.exe; do
    [ -f "$bin/$exe" ] || die "$bin/$exe is missing"
done
[ -x "$import" ] && [ -x "$convert" ] || die "imagemagick is missing (scripts/setup.sh installs it)"

# Built with the tests' prefix; from here on the pictures' own prefix.
export OMBREL_WINEPREFIX="$OMBREL_BUILD/wineprefix-shots"
export WINEPREFIX="$OMBREL_WINEPREFIX"

xvfb_pid=""
cleanup() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

lock="/tmp/.X${display#:}-lock"
if [ -f "$lock" ] && kill -0 "$(tr -d ' ' <"$lock")" 2>/dev/null; then
    die "display $display is in use; choose another with OMBREL_SHOTS_DISPLAY=:N"
fi
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 100); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start on $display"
    sleep 0.1
done

wine_prefix_init x11
# Every program of the prefix opens in one virtual desktop: Wine draws captions and
# frames there (there is no window manager), and the driver sees the same windows.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shots /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shots /d 1024x768 /f </dev/null >/dev/null 2>&1
wineserver -w
wine_server_start

mkdir -p "$out" "$work"
drive() { wine "$bin/shotdriver.exe" "$@" </dev/null; }
# shoot NAME CLASS CAPTION [CLASS CAPTION...]: the windows' joint rectangle from the screen.
shoot() {
    local name="$1"
    shift
    local geometry
    sleep 0.7  # let the last paint reach the screen
    geometry="$(drive rect "$@" | tr -d '\r')" || die "no window to photograph for $name"
    "$import" -window root "$work/screen.png"
    "$convert" "$work/screen.png" -crop "$geometry" +repage -strip -define png:exclude-chunks=date,time "$out/$name.png"
    say "wrote docs/screenshots/$name.png ($geometry)"
}

say "plugging the simulator's demo tuners"
wine "$bin/tunersim.exe" demo </dev/null >/dev/null

# The companions, one at a time, as Romflux starts them: from Tools, as working directory.
for companion in "TalvexRemote:Talvex Remote Control:talvex-remote" "TalvexCI:Talvex Common Interface:talvex-ci"; do
    IFS=: read -r exe class name <<<"$companion"
    (cd "$bin/Tools" && exec wine "$exe.exe" </dev/null >/dev/null 2>&1) &
    started=$!
    drive wait "$class" - 20000 || die "$exe did not show its window"
    if [ "$exe" = TalvexRemote ]; then
        # The first demo box (its GUID is its id's bytes reversed), then a few keys of its remote.
        drive pick "$class" - 100 0100e5d4c3b2a100 20000 || die "$exe does not list the demo box"
        wine "$bin/tunersim.exe" press 00a1b2c3d4e50001 1 2 ok vol+ menu 0x1234 --gap 50 </dev/null >/dev/null
        drive lines "$class" - 201 6 20000 >/dev/null || die "$exe did not show the keys"
    fi
    shoot "$name" "$class" -
    drive destroy "$class" 10000 || die "$exe did not end on WM_DESTROY"
    wait "$started" || true
done

# The CI companion with a T/CI tuner's module ready: its main menu, then the blind
# enquiry for the parental PIN with the PIN typed.
ci="Talvex Common Interface"
for id in 00a1b2c3d4e50004 00a1b2c3d4e50005; do
    wine "$bin/tunersim.exe" ci-ready "$id" </dev/null >/dev/null
done
(cd "$bin/Tools" && exec wine TalvexCI.exe </dev/null >/dev/null 2>&1) &
started=$!
drive wait "$ci" - 20000 || die "TalvexCI did not show its window"
drive pick "$ci" - 100 "Talvex T/CI" 20000 || die "TalvexCI does not list a T/CI tuner"
drive text "$ci" - 201 "Module ready*" 20000 || die "TalvexCI did not see the module become ready"
drive click "$ci" - 210
drive text "$ci" - 220 "Kestrel Conditional Access" 10000 || die "the module's menu did not open"
shoot talvex-ci-menu "$ci" -
drive pick "$ci" - 222 "Parental control" 10000 || die "no parental control entry"
drive click "$ci" - 225
drive text "$ci" - 220 "Enter the parental PIN*" 10000 || die "the PIN enquiry did not open"
drive settext "$ci" - 223 "1234"
shoot talvex-ci-enquiry "$ci" -
drive destroy "$ci" 10000 || die "TalvexCI did not end on WM_DESTROY"
wait "$started" || true

if [ ! -f "$bin/Romflux.exe" ]; then
    say "Romflux.exe is not built: only the companion programs were photographed"
    exit 0
fi

dialog="#32770"
main="Talvex Firmware Update"
about="About *"  # completed with the product name at run time
# Slow enough to catch the bar half way, quick enough not to wait long.
drive timing 8000 1500 || die "cannot set the simulated update's duration"
(cd "$bin" && exec wine Romflux.exe </dev/null >/dev/null 2>&1) &
romflux=$!
drive wait "$dialog" "$main" 30000 || die "Romflux did not show its dialog"
# In the middle, where its message boxes and About box open over it.
drive front "$dialog" "$main" || die "cannot bring Romflux's dialog to the front"
sleep 1
shoot romflux-main "$dialog" "$main"

drive syscommand "$dialog" "$main" 0x0010
drive wait "$dialog" "$about" 10000 || die "the About box did not open"
shoot romflux-about "$dialog" "$about"
drive click "$dialog" "$about" 1
for _ in $(seq 50); do
    drive rect "$dialog" "$about" >/dev/null 2>&1 || break
    sleep 0.1
done

drive click "$dialog" "$main" 1004
drive progress "$dialog" "$main" 1005 40 20000 || die "the update did not get under way"
shoot romflux-progress "$dialog" "$main"
drive messagebox Romflux 30000 || die "no message at the end of the update"
shoot romflux-success "$dialog" "$main" "$dialog" Romflux
drive ok Romflux 5000 || die "the message box did not close"

drive close "$dialog" "$main" || true
for _ in $(seq 100); do
    kill -0 "$romflux" 2>/dev/null || break
    sleep 0.1
done
say "done: $(ls "$out" | tr '\n' ' ')"
