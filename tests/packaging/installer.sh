#!/usr/bin/env bash
# The end-user installer, as a user meets it, in a fresh Wine prefix of its own (the
# tests' prefix is not touched): packed by CPack, installed silently with the simulator,
# its files, registry entries and Start menu checked (after a first silent install
# without the simulator, which is off unless chosen), the installed Romflux started and
# seen listing the simulator's tuners, the installed ombrel.exe listing them too and
# finding Romflux's firmware images beside it, then uninstalled silently, after which
# the prefix's files and registry must be as they were before the installation.
#   installer.sh <build dir>
set -euo pipefail
name=installer
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"
driver="$build/bin/shotdriver.exe"

fresh_work installer-test
say "packing"
setup="$(pack NSIS)"

# A prefix of its own; no menu entries on the host for its Start menu.
export OMBREL_BUILD="$build"
export OMBREL_WINEPREFIX="$work/wineprefix"
source "$here/../../scripts/wine-env.sh"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
stop_prefix() { wineserver -k </dev/null >/dev/null 2>&1 || true; }
trap stop_prefix EXIT
say "making a fresh prefix"
wine_prefix_init null
wineserver -w

drive_c="$WINEPREFIX/drive_c"
instdir="$drive_c/Program Files/Talvex Romflux"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Talvex Romflux"
run() { wine "$@" </dev/null; }

# Files and registry of the prefix, to compare before and after, each after a restart:
# an uninstaller removes the copy of itself that it runs from when Windows restarts.
# Wine keeps the registry in these files once its server has ended; the key times
# change, the keys must not.
snapshot() {
    wineserver -w
    env -u DISPLAY wineboot -r </dev/null >/dev/null 2>&1
    wineserver -w
    # The uninstaller runs from a copy of itself in the user's Temp folder and lists the
    # folder and the copy for deletion at restart, the folder first: the restart deletes
    # the copy but not the folder, which was not yet empty. Such an empty folder is NSIS's
    # own, not ours.
    (cd "$drive_c" && find . ! -path './users/*/Temp/~nsu*.tmp' -o -path './users/*/Temp/~nsu*.tmp' ! -empty |
        LC_ALL=C sort) >"$work/$1.files"
    sed -e 's/^\(\[.*\]\) [0-9]*$/\1/' -e '/^#time=/d' -e '/^"DriverDateData"=/d' \
        "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" >"$work/$1.reg"
}
# What Wine itself changes once it has started its desktop and a console is in both.
run start /wait cmd /c exit
snapshot before

# From here to the uninstall one server serves every program: a program started while
# a short-lived server is ending can fail. Wine waits for each installer it starts.
wine_server_start

simulator_class='HKCR\CLSID\{6C1F3A52-8E47-4B1D-9A35-2D7E0B94C618}\InprocServer32'

say "installing silently: the simulator is off unless chosen"
run "$setup" /S || fail "the installer failed"
[ -f "$instdir/bin/Romflux.exe" ] || fail "Romflux.exe not installed"
[ ! -e "$instdir/bin/tunersim.exe" ] || fail "the simulator was installed without being chosen"
[ ! -e "$instdir/bin/content" ] || fail "the simulator's clips were installed without it being chosen"
if run reg query "$simulator_class" >/dev/null 2>&1; then
    fail "the simulator's filter was registered without being chosen"
fi

say "installing again over it, with the simulator"
run "$setup" /S /SIMULATOR || fail "the installer failed"

# Exactly the shipped files: no test program, no import library.
(cd "$instdir" && find . -type f | LC_ALL=C sort) >"$work/installed.files"
cat >"$work/expected.files" <<'EOF'
./Uninstall.exe
./bin/OmbrelApi.dll
./bin/Romflux.exe
./bin/TalvexSimFilter.dll
./bin/Tools/OmbrelApi.dll
./bin/Tools/TalvexCI.exe
./bin/Tools/TalvexRemote.exe
./bin/TunerSimulator.txt
./bin/ombrel.exe
./bin/tunersim.exe
EOF
# The simulator's content clips, beside its filter DLL.
(cd "$here/../../simulator/content" && find . -type f | sed 's|^\./|./bin/content/|') >>"$work/expected.files"
LC_ALL=C sort -o "$work/expected.files" "$work/expected.files"
diff -u "$work/expected.files" "$work/installed.files" || fail "installed files differ from the shipped set"
for f in Romflux.exe ombrel.exe OmbrelApi.dll Tools/OmbrelApi.dll TalvexSimFilter.dll tunersim.exe; do
    if cmp -s "$instdir/bin/$f" "$build/bin/$f"; then fail "bin/$f was installed with its debugging information"; fi
done

for link in "Talvex Firmware Update.lnk" "Uninstall.lnk"; do
    [ -f "$menu/$link" ] || fail "Start menu entry $link missing"
done

# query KEY VALUE: the value's data as reg.exe shows it ("" when there is none).
query() {
    local which=(/v "$2")
    [ "$2" = "(Default)" ] && which=(/ve)
    { run reg query "$1" "${which[@]}" 2>/dev/null || true; } | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvex Romflux'
expect_value() {
    local got
    got="$(query "$1" "$2")"
    [ "$got" = "$3" ] || fail "$1 $2 is \"$got\", expected \"$3\""
}
expect_value "$uninstall_key" DisplayName "Talvex Romflux"
expect_value "$uninstall_key" DisplayVersion "3.0.2182.0"
expect_value "$uninstall_key" Publisher "Talvex Systems GmbH"
expect_value "$uninstall_key" UninstallString '"C:\Program Files\Talvex Romflux\Uninstall.exe"'
expect_value "$simulator_class" "(Default)" 'C:\Program Files\Talvex Romflux\bin\TalvexSimFilter.dll'

say "starting the installed Romflux with the simulator's demo tuners"
run "$instdir/bin/tunersim.exe" demo >"$work/demo.txt" || fail "tunersim demo"
# One list line per tuner filter (WDM capture, BDA network tuner), named by its GUID.
mapfile -t tuners < <(tr -d '\r' <"$work/demo.txt" |
    sed -n 's/.*[{]\(860BB310\|71985F48\)-.*#\([0-9a-f]\{16\}\)#.*/\2/p')
[ "${#tuners[@]}" -ge 2 ] || fail "the demo set shows no tuners"
(cd "$instdir/bin" && exec wine Romflux.exe </dev/null >/dev/null 2>&1) &
romflux=$!
dialog=("#32770" "Talvex Firmware Update")
run "$driver" wait "${dialog[@]}" 60000 || fail "Romflux did not show its dialog"
run "$driver" lines "${dialog[@]}" 1001 "${#tuners[@]}" 60000 | tr -d '\r' >"$work/lines.txt" ||
    fail "Romflux listed fewer than ${#tuners[@]} tuners: $(cat "$work/lines.txt")"
[ "$(wc -l <"$work/lines.txt")" -eq "${#tuners[@]}" ] || fail "Romflux listed: $(cat "$work/lines.txt")"
for id in "${tuners[@]}"; do
    text="$(guid "$id" | tr a-f A-F)"
    grep -q "($text)" "$work/lines.txt" || fail "Romflux does not list $text: $(cat "$work/lines.txt")"
done
run "$driver" close "${dialog[@]}" || fail "cannot close Romflux"
wait "$romflux" || true

say "the installed ombrel.exe, started from elsewhere, with the library and Romflux's images beside it"
ombrel() { (cd "$work" && run "$instdir/bin/ombrel.exe" "$@") | tr -d '\r'; }
ombrel list >"$work/ombrel-list.txt" || fail "ombrel list failed: $(cat "$work/ombrel-list.txt")"
for id in "${tuners[@]}"; do
    text="$(guid "$id" | tr a-f A-F)"
    grep -q " $text " "$work/ombrel-list.txt" || fail "ombrel list does not show $text: $(cat "$work/ombrel-list.txt")"
done
# One table row per tuner below the heading; each one's update image is known, and
# Romflux carries one for some of them.
rows=$(($(wc -l <"$work/ombrel-list.txt") - 1))
[ "$rows" -eq "${#tuners[@]}" ] || fail "ombrel list shows $rows tuners: $(cat "$work/ombrel-list.txt")"
carried=0
for ((index = 0; index < rows; ++index)); do
    image="$(ombrel info "$index" | sed -n 's/^Update image: *//p')" || fail "ombrel info $index failed"
    case "$image" in
        FW_*) carried=$((carried + 1)) ;;
        "none carried for"*) ;;
        *) fail "ombrel info $index: update image \"$image\"" ;;
    esac
done
[ "$carried" -ge 1 ] || fail "ombrel.exe found none of Romflux's images"

say "uninstalling silently"
# The uninstaller runs on from a copy of itself; without a persistent server, the
# prefix's server ends only after it (the snapshot waits for that).
wine_server_stop
run "$instdir/Uninstall.exe" /S || fail "the uninstaller failed"
snapshot after
diff -u "$work/before.files" "$work/after.files" || fail "files left behind or removed"
diff -u "$work/before.reg" "$work/after.reg" || fail "registry entries left behind or removed"
say "installed, ran and uninstalled without a trace"
# The prefix takes some 700 MB; a failed run keeps it for a look.
stop_prefix
rm -rf "$WINEPREFIX"
