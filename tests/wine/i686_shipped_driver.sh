#!/usr/bin/env bash
# The shipped i686 Pelmix.sys, the driver for the real card, under the 32-bit
# Wine of the i386 root: the shipped pelmixctl.exe installs it as the "Pelmix"
# kernel service for each run, Wine's kernel (winedevice.exe) loads it, and
# the service is stopped and removed at exit.
#   i686_shipped_driver.sh ROOT SOURCE_DIR BUILD_DIR PELMIXCTL.EXE PELMIX.SYS
#
# Wine's HalGetBusDataByOffset returns 0 without writing the buffer, so every
# slot of every bus reads as all ones and the scan lists no card: enum
# answers Status 2, and a request for a card it has not listed is refused with
# Status 2 before any card is touched. Wine serves these imports of the
# driver only as stubs that end winedevice.exe ("unimplemented function"):
# HalSetBusDataByOffset, KeStallExecutionProcessor, KeSetAffinityThread,
# KefAcquireSpinLockAtDpcLevel, KefReleaseSpinLockFromDpcLevel,
# READ_REGISTER_UCHAR, READ_REGISTER_ULONG, WRITE_REGISTER_UCHAR and
# WRITE_REGISTER_ULONG. Load, the scan, a refusal and unload reach none of
# them; standard error shows it if one is reached.
set -uo pipefail
root=$1 source_dir=$2 build=$3 exe=$4 driver=$5

work=$build/wine-tests/i686_shipped_driver
rm -rf "$work"
mkdir -p "$work/stage"
cp "$exe" "$driver" "$work/stage/" || exit 1
# An image to write: the write must be refused before it is read for a card.
head -c 131072 /dev/zero | tr '\0' '\125' > "$work/stage/new.bin"

in_root() {
    "$source_dir/scripts/i386-root.sh" run "$root" "$source_dir" "$build" -- "$@"
}
WINEPREFIX=$(in_root bash -c '. "$1/scripts/wine-env.sh" "$2" >/dev/null 2>&1 && printenv WINEPREFIX' \
             bash "$source_dir" "$build") && [ -f "$WINEPREFIX/system.reg" ] ||
    { echo "FAIL: no Wine prefix with a registry"; exit 1; }

failed=0
fail() { echo "FAIL: $*"; failed=1; }

no_card='no card list in this run (enum must come first) or no card in it'
# run NAME COMMAND...: pelmixctl.exe --json COMMAND in a working folder of its
# own; exit 1 (a Status was not 0), and no crash of either process.
run() {
    local name=$1
    shift
    in_root bash "$source_dir/scripts/wine-run.sh" --timeout 120 "$build" "$work/$name" "$work/stage/"* -- \
        pelmixctl.exe --json "$@" > /dev/null 2>&1
    local status=$?
    [ $status -eq 1 ] || fail "$name: pelmixctl.exe exited with $status, not 1"
    tr -d '\r' < "$work/$name/stdout.txt" > "$work/$name.json"
    tr -d '\r' < "$work/$name/stderr.txt" > "$work/$name.err"
    local text
    for text in "unimplemented function" "Unhandled" "Backtrace:"; do
        grep -qF "$text" "$work/$name.err" && fail "$name: $(grep -m1 -F "$text" "$work/$name.err")"
    done
}
# reply NAME LINE REQUEST CODE: line LINE of NAME's replies is REQUEST with Status 2.
reply() {
    local want="{\"request\":\"$3\",\"code\":$4,\"system_status\":0,\"information\":4,\"Status\":2}"
    [ "$(sed -n "$2p" "$work/$1.json")" = "$want" ] ||
        fail "$1: reply $2 is not $want: $(sed -n "$2p" "$work/$1.json")"
}
has() {
    grep -qF -- "$2" "$work/$1.err" || fail "$1: standard error lacks \"$2\": $(head -c 600 "$work/$1.err")"
}

run enum enum
reply enum 1 ENUM_DEVICES 2236416
[ "$(wc -l < "$work/enum.json")" -eq 1 ] || fail "enum: $(wc -l < "$work/enum.json") replies, not 1"
has enum "pelmixctl: ENUM_DEVICES: Status 2, no Orvel card found"

# A second load of the driver, after the first one's unload.
run unlisted enum identify 0:0a.0 write-rom 0:0a.0 new.bin
reply unlisted 1 ENUM_DEVICES 2236416
reply unlisted 2 IDENTIFY_CHIP 2236444
reply unlisted 3 WRITE_ROM 2236424
[ "$(wc -l < "$work/unlisted.json")" -eq 3 ] || fail "unlisted: $(wc -l < "$work/unlisted.json") replies, not 3"
has unlisted "pelmixctl: IDENTIFY_CHIP: Status 2, $no_card"
has unlisted "pelmixctl: WRITE_ROM: Status 2, $no_card"

if grep -qiF '[System\\CurrentControlSet\\Services\\Pelmix]' "$WINEPREFIX/system.reg"; then
    fail "a Pelmix service remains after the runs"
    in_root bash -c '. "$1/scripts/wine-env.sh" "$2" >/dev/null 2>&1 &&
        timeout 60 "$WINELOADER" sc delete Pelmix; timeout 30 "$WINESERVER" -w' bash "$source_dir" "$build" > /dev/null 2>&1
fi

if [ $failed -eq 0 ]; then
    echo "OK: the shipped Pelmix.sys loaded twice under Wine's kernel, answered, refused and unloaded"
    rm -rf "$work"
else
    echo "logs in $work"
fi
exit $failed
