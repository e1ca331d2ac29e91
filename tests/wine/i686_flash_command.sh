#!/usr/bin/env bash
# The shipped i686 pelmixctl.exe's user commands under the 32-bit Wine of the
# i386 root, each compared with the native pelmixctl on the same machine
# (replies, exit code, chip and backup alike), on a real 128-KB image:
#   i686_flash_command.sh MACHINE ROM COMPARE_OPTION...
# flash with --backup and --yes (exit 0, the backup is the old image); a
# flash whose write fails once part way (exit 2: the old image is back on the
# chip); restore of a backup onto another image (exit 0, the chip is the
# backup). COMPARE_OPTIONs (--source, --build, --native, --exe, --driver,
# --i386-root) go to compare_with_native.sh.
set -uo pipefail
machine=$1 rom=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
build=
args=("$@")
while [ $# -gt 0 ]; do
    [ "$1" = --build ] && build=$2
    shift
done
target=1:00.0
failed=0
compare() { bash "$here/compare_with_native.sh" "${args[@]}" "$@" || failed=1; }

compare --name i686_flash --machine "$machine" --exit 0 \
    --input card.bin="$rom" --input old.bin="$rom" --same backup.bin=old.bin \
    -- flash $target --inbuilt --backup backup.bin --yes

# A byte past the first 32 KB that fails its first programming.
faulty=$build/wine-tests/i686-stuck-once.machine
mkdir -p "$(dirname "$faulty")"
{ cat "$machine"; echo "fault stuck $target 0x8000 1"; } >"$faulty"
compare --name i686_flash_restored --machine "$faulty" --exit 2 \
    --input card.bin="$rom" --input old.bin="$rom" --same backup.bin=old.bin --same card.bin=old.bin \
    -- flash $target --inbuilt --backup backup.bin --yes

compare --name i686_restore --machine "$machine" --exit 0 \
    --file card.bin:131072:24 --input backup.bin="$rom" --same card.bin=backup.bin \
    -- restore $target backup.bin --yes
exit $failed
