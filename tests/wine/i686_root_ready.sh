#!/usr/bin/env bash
# Runs a test of the shipped i686 binaries under the 32-bit Wine of the
# private i386 root, which the fixture test wine_i686_root makes:
#   i686_root_ready.sh ROOT COMMAND...
# Exit 77 (skipped) when there is no root: its making was skipped here (a
# kernel without 32-bit processes, or no root rights).
root=$1
shift
[ -f "$root/.pelmix-ready" ] || { echo "SKIP: no i386 root at $root"; exit 77; }
exec "$@"
