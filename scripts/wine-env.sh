# Sourced by the other scripts: a project-local Wine prefix inside the build tree.
# Never the user's own prefix.

OMBREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
: "${OMBREL_BUILD:=$OMBREL_ROOT/build}"
export OMBREL_BUILD

# The prefix of test lane $1 (scripts/ctest.sh): lane 0 is the build's own prefix.
wine_lane_prefix() {
    if [ "$1" = 0 ]; then echo "$OMBREL_BUILD/wineprefix"; else echo "$OMBREL_BUILD/wineprefix-lane$1"; fi
}

# In a suite run by scripts/ctest.sh each test runs in the prefix of the lane ctest gave
# it, named in its environment as "id:1,slots:1".
if [ -z "${OMBREL_WINEPREFIX:-}" ] && [ -n "${OMBREL_TEST_IN_LANES:-}" ]; then
    ombrel_lane="${CTEST_RESOURCE_GROUP_0_WINEPREFIX:-}"
    ombrel_lane="${ombrel_lane#id:}"
    ombrel_lane="${ombrel_lane%%,*}"
    case "$ombrel_lane" in
    '' | *[!0-9]*)
        echo "wine: this test was given no Wine prefix lane; its CMake test needs ombrel_tests_take_a_prefix" >&2
        exit 1 ;;
    esac
    OMBREL_WINEPREFIX="$(wine_lane_prefix "$ombrel_lane")"
fi
# WINEPREFIX may be chosen by the caller (the screenshot prefix does so), but it always
# lives in a build tree.
: "${OMBREL_WINEPREFIX:=$(wine_lane_prefix 0)}"
export WINEPREFIX="$OMBREL_WINEPREFIX"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix if needed. $1 = "null" (headless: Wine's null graphics driver)
# or "x11" (windows on $DISPLAY).
wine_prefix_init() {
    local driver="${1:-null}"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: creating prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        # Without a display wineboot must not try to open one.
        local log="$OMBREL_BUILD/wineboot.log"
        mkdir -p "$OMBREL_BUILD"
        if [ "$driver" = null ]; then
            env -u DISPLAY wineboot -i </dev/null >"$log" 2>&1
        else
            wineboot -i </dev/null >"$log" 2>&1
        fi || { echo "wine: creating the prefix failed, see $log" >&2; return 1; }
        wineserver -w
    fi
    # Wine does not pick up its own fonts from its data folder here: without them caption
    # buttons (Marlett) come out as letters and "MS Sans Serif" dialogs fall back to a
    # wider font that clips their labels. Copies in the prefix's font folder are found.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" font
    mkdir -p "$fonts"
    for font in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon; do
        [ -f "$font" ] || continue
        [ -f "$fonts/$(basename "$font")" ] || cp "$font" "$fonts/"
    done
    local want=""
    [ "$driver" = null ] && want="null"
    local mark="$WINEPREFIX/.ombrel-driver"
    if [ "$(cat "$mark" 2>/dev/null)" != "$driver" ]; then
        if [ -n "$want" ]; then
            env -u DISPLAY wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
        else
            wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >/dev/null 2>&1 || true
        fi
        wineserver -w
        echo "$driver" >"$mark"
    fi
}

# One persistent wineserver for the length of a run, its output detached from ours
# (Wine's helpers must not inherit ctest's pipes).
wine_server_start() {
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_server_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
}
