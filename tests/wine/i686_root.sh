#!/usr/bin/env bash
# The fixture of the i686 Wine tests: the private i386 root, made once in the
# build folder, and the build folder's 32-bit Wine prefix in it, booted once
# (about a minute) so that no test pays for it.
#   i686_root.sh ROOT SOURCE_DIR BUILD_DIR
# Exit 77 (skipped) where the root cannot be made here.
set -uo pipefail
root=$1 source_dir=$2 build=$3
"$source_dir/scripts/i386-root.sh" prepare "$root" || exit $?
"$source_dir/scripts/i386-root.sh" run "$root" "$source_dir" "$build" -- \
    bash -c '. "$1/scripts/wine-env.sh" "$2" && echo "prefix $WINEPREFIX ready"' bash "$source_dir" "$build"
