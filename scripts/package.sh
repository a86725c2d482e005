#!/usr/bin/env bash
# Makes the two packages into $OMBREL_BUILD/packages (default build/packages):
#   OmbrelApi-SDK-<version>-win64.zip             for application developers
#   TalvexRomflux-<version>-win64-setup.exe       the installer for end users
# Sets up and builds first, as scripts/test.sh does.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
"$here/build.sh"
source "$here/wine-env.sh"
out="$OMBREL_BUILD/packages"
rm -rf "$out"
t0=$(date +%s)
cpack --config "$OMBREL_BUILD/CPackConfig.cmake" -B "$out" >"$OMBREL_BUILD/package.log" 2>&1 ||
    { echo "package: cpack failed, see $OMBREL_BUILD/package.log" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
echo "package: made in $(($(date +%s) - t0)) s:"
for f in "$out"/*; do printf '  %s  %s bytes\n' "$f" "$(stat -c %s "$f")"; done
