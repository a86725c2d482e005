# Sourced by the package tests: messages, a fresh work folder, packing, GUID texts.
# The sourcing script sets $name (its messages' prefix) and $build (the build tree).

say() { echo "$name: $*"; }
fail() { echo "$name: FAILED: $*" >&2; exit 1; }

# fresh_work FOLDER: an empty work folder below the build tree, in $work.
fresh_work() {
    work="$build/$1"
    rm -rf "$work"
    mkdir -p "$work"
}

# pack GENERATOR: packs the build tree with CPack into $work/package and prints the
# package's path.
pack() {
    cpack --config "$build/CPackConfig.cmake" -G "$1" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        fail "cpack -G $1 (see $work/cpack.log)"
    find "$work/package" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.exe' \)
}

# guid ID: the GUID text that the library gives for a display name's 16-digit
# identifier: its digit pairs from the last to the first.
guid() { sed 's/../& /g' <<<"$1" | tr ' ' '\n' | sed '/^$/d' | tac | tr -d '\n'; }
