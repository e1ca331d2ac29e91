#!/usr/bin/env bash
# Runs README.md's example of the model kernel as it is written there: the
# lines of its sh blocks that start with "scripts/nt-model.sh --" (the usage
# line, with its brackets, is not a command), continuation lines joined. They
# run in a folder that shows the source tree's scripts and tools and the build
# folder as build/, as from the top of a checkout; each must exit 0, and a
# read-rom must leave its file there.
#
#   readme_example.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -uo pipefail
source_dir=$(realpath "$1") build_dir=$(realpath "$2") work=$(realpath -m "$3")
rm -rf "$work"
mkdir -p "$work"
ln -s "$source_dir/scripts" "$work/scripts"
ln -s "$source_dir/tools" "$work/tools"
ln -s "$build_dir" "$work/build"

mapfile -t commands < <(awk '
    /^```/ { block = !block; next }
    !block { next }
    joining { line = line " " $0; joining = 0 }
    !joining && line == "" && /^scripts\/nt-model\.sh --/ && !/\[/ { line = $0 }
    line != "" {
        if (line ~ /\\$/) { sub(/[ ]*\\$/, "", line); joining = 1; next }
        print line; line = ""
    }' "$source_dir/README.md")
[ ${#commands[@]} -gt 0 ] || { echo "FAIL: README.md shows no model command"; exit 1; }

failed=0
for command in "${commands[@]}"; do
    echo "== $command"
    (cd "$work" && bash -c "$command")
    code=$?
    [ "$code" = 0 ] || { echo "FAIL: exit $code"; failed=1; }
    if [[ "$command" =~ read-rom\ [^\ ]+\ ([^\ ]+) ]]; then
        [ -s "$work/${BASH_REMATCH[1]}" ] || { echo "FAIL: ${BASH_REMATCH[1]} was not written"; failed=1; }
    fi
done
exit $failed
