#!/usr/bin/env bash
# The user guide's pictures: the robot walks the wizard under Wine on an
# emulated card and keeps one screenshot of each page and question, cropped
# to that page or box.
#   guide_shots.sh WIN_BUILD OUT_DIR BIOSIMAGE
# Pictures land in OUT_DIR/images/NAME.png (the names the guide uses). The
# shots have a Wine prefix of their own in OUT_DIR, whose temporary folder is
# C:\TEMP, so the backup box shows a path as a user's machine would.
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: guide_shots.sh WIN_BUILD OUT_DIR BIOSIMAGE" >&2; exit 2; }
E2E_BIN=$(cd "$1" && pwd)
mkdir -p "$2"
E2E_OUT=$(cd "$2" && pwd)
biosimage=$3
E2E_PREFIX_DIR=$E2E_OUT
images=$E2E_OUT/images
rm -rf "$images"
mkdir -p "$images"
. "$(dirname "$0")/../e2e/e2e_lib.sh"
trap e2e_cleanup EXIT
e2e_start || { echo "guide_shots: Wine cannot run here" >&2; exit 77; }
mkdir -p "$WINEPREFIX/drive_c/TEMP"
for v in TEMP TMP; do
    "$WINELOADER" reg add 'HKCU\Environment' /v $v /d 'C:\TEMP' /f >/dev/null 2>&1 || { echo "guide_shots: cannot set $v" >&2; exit 1; }
done
end_wine_programs

machine=$E2E_OUT/guide.machine
cat >"$machine" <<'MACHINE'
cpus 2
pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M
pci 0:0a.0 id=1E5B:0A51 rev=02 class=0300 cmd=0007 bar0=0xE0000008/64M bar1=0xE4000000/8K rom=0xE4020000/128K flash=08BF image=card.bin
MACHINE

# keep NAME page|box: the latest screenshot, cropped to the page or the
# message box that is up, becomes images/NAME.png.
keep() {
    local latest rect
    latest=$(ls "$shots"/*.png 2>/dev/null | tail -1)
    [ -n "$latest" ] || { fail "no screenshot for $1"; return 1; }
    rect=$(robot rect "$2") || { fail "no $2 to crop $1 to: $rect"; return 1; }
    set -- "$1" $rect
    convert "$latest" -crop "${4}x${5}+${2}+${3}" +repage "$images/$1.png" || fail "cannot crop $1 to $rect"
}

card() {
    prepare "$1" "$machine"
    "$biosimage" board --layout legacy --size 131072 --out "$work/card.bin" >/dev/null
}

# Every page of the default path, with the device list shown.
card walk
start -forcedevlist
expect_page Welcome && keep welcome page
robot click "$IDOK" >/dev/null
if expect_page "Select Device"; then
    robot select "$IDC_DEVICE_LIST" 0 >/dev/null
    expect_state "$IDC_MORE_INFO" "visible enabled unchecked" "More info"
    robot click "$IDC_MORE_INFO" >/dev/null
    expect_box more-info && answer ok
    for _ in $(seq 100); do [ -n "$(robot get-text "$IDC_DEVICE_INFO")" ] && break; sleep 0.2; done
    shot device-info && keep select-device page
    robot click "$IDOK" >/dev/null
fi
expect_page "Save Backup" && keep save-backup page
# The backup goes to the temporary folder the guide names.
backup=$(robot get-text "$IDC_BACKUP_PATH")
[[ $backup =~ ^C:\\TEMP\\[^\\]+\.bin$ ]] || fail "the backup box shows $backup, not a file in C:\TEMP"
grep -qF "\`C:\\TEMP\\${backup:8:3}" "$e2e_repo/docs/guide/guide.txt" ||
    fail "the guide does not show a backup name in C:\TEMP like $backup"
robot click "$IDOK" >/dev/null
expect_box read-question && keep read-question box && answer ok
expect_page "Select BIOS" 120000 && keep select-bios page
robot click "$IDOK" >/dev/null
expect_box write-question && keep write-question box && answer ok
expect_page "Setup Complete" 120000 && keep setup-complete page
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
expect_page "Select BIOS" 120000 && keep select-bios-read-error page
robot click "$IDCANCEL" >/dev/null
expect_box cancel && answer yes
expect_exit 0

scenario_summary
