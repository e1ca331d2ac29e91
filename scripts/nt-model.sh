#!/usr/bin/env bash
# Runs a driver image (the shipped build/win/ship/Pelmix.sys, or a test
# driver) under the model NT kernel on an emulated machine, with pelmixctl's
# request commands. Builds the model first when it is missing.
#
#   scripts/nt-model.sh [--nt 4.0|5.0|5.1] [--cpus N] [--json] [--caller admin|user|interactive] [--open-below NAME]
#       [--busy-priority P] [--linger-ms MS] [--suspend-caller] [--caller-affinity MASK]
#       [--affinity-change MASK] DRIVER.sys MACHINE COMMAND...
#
# Exit 0: loaded, every command ran, unloaded, no rule broken; 1: usage or
# unusable input; 3: the load was refused (the line names the import) or
# DriverEntry failed; 4: a kernel rule was broken (one BUGCHECK line).
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
# ntmodel-run starts the 32-bit model directly, or under qemu-i386 where the
# kernel runs no 32-bit programs.
model=$repo/build/tools/ntmodel/ntmodel-run
if [ ! -x "$repo/build/tools/ntmodel/ntmodel" ] || [ ! -x "$model" ]; then
    [ -f "$repo/build/CMakeCache.txt" ] || cmake -S "$repo" -B "$repo/build" >/dev/null || exit 1
    cmake --build "$repo/build" --target ntmodel -j2 >/dev/null || { echo "nt-model: the model does not build" >&2; exit 1; }
fi
exec "$model" "$@"
