#!/usr/bin/env bash
# The user guide's pictures: the robot walks the wizard under Wine on an
# emulated card and keeps one screenshot of each page and question.
#   guide_shots.sh WIN_BUILD OUT_DIR BIOSIMAGE
# Pictures land in OUT_DIR/images/NAME.png (the names the guide uses).
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: guide_shots.sh WIN_BUILD OUT_DIR BIOSIMAGE" >&2; exit 2; }
E2E_BIN=$(cd "$1" && pwd)
mkdir -p "$2"
E2E_OUT=$(cd "$2" && pwd)
biosimage=$3
E2E_PREFIX_DIR=${E2E_PREFIX_DIR:-$E2E_OUT}
images=$E2E_OUT/images
rm -rf "$images"
mkdir -p "$images"
. "$(dirname "$0")/../e2e/e2e_lib.sh"
trap e2e_cleanup EXIT
e2e_start || { echo "guide_shots: Wine cannot run here" >&2; exit 77; }

machine=$E2E_OUT/guide.machine
cat >"$machine" <<'MACHINE'
cpus 2
pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M
pci 0:0a.0 id=1E5B:0A51 rev=02 class=0300 cmd=0007 bar0=0xE0000008/64M bar1=0xE4000000/8K rom=0xE4020000/128K flash=08BF image=card.bin
MACHINE

# keep NAME: the latest screenshot becomes images/NAME.png.
keep() {
    local latest
    latest=$(ls "$shots"/*.png 2>/dev/null | tail -1)
    [ -n "$latest" ] && cp "$latest" "$images/$1.png" || fail "no screenshot for $1"
}

card() {
    prepare "$1" "$machine"
    "$biosimage" board --layout legacy --size 131072 --out "$work/card.bin" >/dev/null
}

# Every page of the default path, with the device list shown.
card walk
start -forcedevlist
expect_page Welcome && keep welcome
robot click "$IDOK" >/dev/null
if expect_page "Select Device"; then
    robot select "$IDC_DEVICE_LIST" 0 >/dev/null
    expect_state "$IDC_MORE_INFO" "visible enabled unchecked" "More info"
    robot click "$IDC_MORE_INFO" >/dev/null
    expect_box more-info && answer ok
    for _ in $(seq 100); do [ -n "$(robot get-text "$IDC_DEVICE_INFO")" ] && break; sleep 0.2; done
    shot device-info && keep select-device
    robot click "$IDOK" >/dev/null
fi
expect_page "Save Backup" && keep save-backup
robot click "$IDOK" >/dev/null
expect_box read-question && keep read-question && answer ok
expect_page "Select BIOS" 120000 && keep select-bios
robot click "$IDOK" >/dev/null
expect_box write-question && keep write-question && answer ok
expect_page "Setup Complete" 120000 && keep setup-complete
robot click "$IDC_RESTART_LATER" >/dev/null
robot click "$IDOK" >/dev/null
expect_exit 0
end_wine_programs

# The image page after a read error.
card read_error
start -forcereadcserr
expect_page Welcome && robot click "$IDOK" >/dev/null
expect_page "Save Backup" && robot click "$IDOK" >/dev/null
expect_box read-question && answer ok
expect_box read-error && answer yes
expect_page "Select BIOS" 120000 && keep select-bios-read-error
robot click "$IDCANCEL" >/dev/null
expect_box cancel && answer yes
expect_exit 0

scenario_summary
