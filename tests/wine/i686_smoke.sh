#!/usr/bin/env bash
# The shipped i686 pelmixctl.exe and emulated-hardware Pelmix.sys under a
# 32-bit Wine in a private i386 root, compared with the native replies:
#   i686_smoke.sh ROOT COMPARE_OPTION... -- COMMAND...
# Makes ROOT on first use. Exit 77 (skipped) where the root cannot be made
# here: a kernel without 32-bit processes, or no root rights.
root=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
"$here/../../scripts/i386-root.sh" prepare "$root" || exit $?
exec bash "$here/compare_with_native.sh" --i386-root "$root" "$@"
