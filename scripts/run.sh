#!/usr/bin/env bash
# The main job: sets up what is missing, builds, and runs the wizard
# Dorvane.exe under Wine against an emulated machine with one Orvel card
# whose flash holds a realistic legacy-layout board BIOS.
#
# With a display ($DISPLAY set, not CI) you drive the wizard yourself.
# Otherwise it runs in a virtual X display and a robot walks the default
# path (in-built image, board table merged), keeping a screenshot of every
# page and box. Either way it then tells what happened: the card, the old
# and new version text, the backup file, and whether the new image is on the
# chip and verified.
#
#   scripts/run.sh [--robot]    --robot: the robot drives even with a display
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

driver=user
[ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] || driver=robot
[ "${1:-}" = --robot ] && driver=robot

scripts/setup.sh || exit 1
echo "Building (log in build/build.log)..."
mkdir -p build
scripts/build.sh >build/build.log 2>&1 || { tail -30 build/build.log; echo "build failed; see build/build.log"; exit 1; }

# The Windows programs Wine runs here: the 64-bit test build where the host
# runs no 32-bit processes, else the 32-bit build.
bin=
for dir in build/win64 build/win; do
    [ -f "$dir/release/Dorvane.exe" ] && [ -f "$dir/emulated/Pelmix.sys" ] && [ -f "$dir/test-tools/robot.exe" ] &&
        { bin=$repo/$dir; break; }
done
[ -n "$bin" ] || { echo "no Windows build that Wine can run (is Wine installed?)"; exit 1; }

export E2E_BIN=$bin E2E_OUT=$repo/build/main-job E2E_PREFIX_DIR=$repo/build
[ "$driver" = user ] && export E2E_USE_DISPLAY=1
mkdir -p "$E2E_OUT"
. tests/e2e/e2e_lib.sh
trap e2e_cleanup EXIT
e2e_start || { echo "Wine cannot run here"; exit 1; }

# The machine: one ZT10-E card on bus 0, slot 0x0a, with a 128-KB page-write
# flash chip holding a legacy-layout board BIOS.
machine_file=$E2E_OUT/one-card.machine
cat >"$machine_file" <<'MACHINE'
cpus 2
pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M
pci 0:0a.0 id=1E5B:0A51 rev=02 class=0300 cmd=0007 subsys=1E5B:0001 bar0=0xE0000008/64M bar1=0xE4000000/8K rom=0xE4020000/128K flash=08BF image=card.bin
MACHINE
prepare run "$machine_file"
build/tools/biosimage/biosimage board --layout legacy --size 131072 --out "$work/card.bin" >/dev/null
cp "$work/card.bin" "$work/old.bin"
build/tools/biostool/biostool inbuilt "$work/inbuilt.bin" >/dev/null

version_of() { build/tools/biostool/biostool info "$1" | sed -n 's/^version text: //p'; }

echo
echo "Card:"
build/tools/pelmixctl/pelmixctl --machine "$machine_file" enum | sed -n '2,$p'
echo "Old BIOS version text: $(version_of "$work/old.bin")"
echo

backup=
if [ "$driver" = user ]; then
    echo "The wizard is open on your display; walk it through to the end."
    (cd "$work" && "$WINELOADER" Dorvane.exe)
    echo "The wizard has ended."
    # A backup made by this run under the default name, if any.
    found=$(find "$WINEPREFIX/drive_c/users" -name 'B[0-9]B*.bin' -newer "$work/old.bin" 2>/dev/null | head -1)
    [ -n "$found" ] && backup=$("$WINELOADER" winepath -w "$found" 2>/dev/null | tr -d '\r')
else
    echo "The robot walks the default path (screenshots in $shots):"
    WALK_TELL=1 walk_default_path
    backup=$walk_backup
fi

echo
echo "New BIOS version text: $(version_of "$work/card.bin")"
if [ -n "$backup" ]; then
    host_backup=$("$WINELOADER" winepath -u "$backup" 2>/dev/null | tr -d '\r')
    if cmp -s "$host_backup" "$work/old.bin"; then
        echo "Backup file: $backup ($host_backup), 131072 bytes, holds the old image"
    else
        echo "Backup file: $backup: missing or not the old image"
    fi
fi
build/tools/biostool/biostool merge "$work/old.bin" "$work/inbuilt.bin" "$work/expected.bin" --length 131072 >/dev/null
if cmp -s "$work/card.bin" "$work/expected.bin" && build/tools/biostool/biostool checksum "$work/card.bin" >/dev/null; then
    echo "Flash: verified - the in-built image with the board's table merged, checksum valid"
    verdict=0
elif cmp -s "$work/card.bin" "$work/old.bin"; then
    echo "Flash: unchanged (old image)"
    verdict=1
else
    echo "Flash: NOT the expected image"
    verdict=1
fi
[ "$driver" = robot ] && echo "Screenshots: $shots" && ls "$shots" | sed 's/^/  /'
[ $failures -eq 0 ] || verdict=1
exit $verdict
