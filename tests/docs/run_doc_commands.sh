#!/usr/bin/env bash
# Runs the commands of a page of the documentation as they are written there:
# every line of its ```sh blocks (continuation lines joined; ```text blocks
# hold usage lines and are not run). They run in a folder that shows the
# source tree's scripts, tools and tests and the build folder as build/, as
# from the top of a checkout; each must exit 0, and a read-rom or a command
# writing "> FILE" must leave that file there.
#
#   run_doc_commands.sh SOURCE_DIR BUILD_DIR WORK_DIR PAGE.md
set -uo pipefail
source_dir=$(realpath "$1") build_dir=$(realpath "$2") work=$(realpath -m "$3") page=$4
rm -rf "$work"
mkdir -p "$work"
for dir in scripts tools tests; do
    ln -s "$source_dir/$dir" "$work/$dir"
done
ln -s "$build_dir" "$work/build"

mapfile -t commands < <(awk '
    /^```/ { if (block) block = 0; else block = ($0 == "```sh"); next }
    !block { next }
    joining { line = line " " $0; joining = 0 }
    !joining && line == "" { line = $0 }
    line != "" {
        if (line ~ /\\$/) { sub(/[ ]*\\$/, "", line); joining = 1; next }
        print line; line = ""
    }' "$page")
[ ${#commands[@]} -gt 0 ] || { echo "FAIL: $page shows no command to run"; exit 1; }

failed=0
for command in "${commands[@]}"; do
    echo "== $command"
    (cd "$work" && bash -c "$command")
    code=$?
    [ "$code" = 0 ] || { echo "FAIL: exit $code"; failed=1; }
    written=
    if [[ "$command" =~ read-rom\ [^\ ]+\ ([^\ #]+) ]] || [[ "$command" =~ \>\ ([^\ &#]+) ]]; then
        written=${BASH_REMATCH[1]}
    fi
    if [ -n "$written" ] && [ ! -s "$work/$written" ]; then
        echo "FAIL: $written was not written"
        failed=1
    fi
done
[ $failed = 0 ] && echo "OK: ${#commands[@]} commands of $page"
exit $failed
