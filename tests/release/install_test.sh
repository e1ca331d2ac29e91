#!/usr/bin/env bash
# Install test: the 64-bit test package unpacked into a fresh folder, with an
# emulated card's Pelmix.machine beside it and nothing of the build tree
# there; the robot (from elsewhere) walks the default path under Wine. The
# backup must hold the old image, the flash the new one, verified, and no
# driver service may be left.
#   install_test.sh ZIP ROBOT_EXE OUT_DIR BIOSIMAGE BIOSTOOL
# Exit 77 when Wine cannot run.
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: install_test.sh ZIP ROBOT_EXE OUT_DIR BIOSIMAGE BIOSTOOL" >&2; exit 2; }
zip=$1 robot_exe=$2 biosimage=$4 biostool=$5
[ -f "$zip" ] || { echo "FAIL: no package $zip (scripts/package.sh makes it)"; exit 1; }
mkdir -p "$3"
E2E_OUT=$(cd "$3" && pwd)
E2E_BIN=/nonexistent
SCENARIO_IDS=$(dirname "$robot_exe")/control_ids.sh
SCENARIO_TEXTS=$(dirname "$robot_exe")/../user_texts/user_texts.sh
. "$(dirname "$0")/../e2e/e2e_lib.sh"
trap e2e_cleanup EXIT
e2e_start || { echo "SKIP: Wine cannot run here"; exit 77; }

scenario=install
shots=$E2E_OUT/screenshots
rm -rf "$E2E_OUT/fresh" "$shots"
mkdir -p "$E2E_OUT/fresh" "$shots"
(cd "$E2E_OUT/fresh" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
work=$E2E_OUT/fresh/$(basename "$zip" .zip)
[ -f "$work/Dorvane.exe" ] && [ -f "$work/Pelmix.sys" ] || { echo "FAIL: the package lacks Dorvane.exe or Pelmix.sys"; exit 1; }
robot() { (cd "$work" && timeout 60 "$WINELOADER" "$robot_exe" "$@" | tr -d '\r'); }

cat >"$work/Pelmix.machine" <<'MACHINE'
cpus 2
pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M
pci 0:0a.0 id=1E5B:0A51 rev=02 class=0300 cmd=0007 bar0=0xE0000008/64M bar1=0xE4000000/8K rom=0xE4020000/128K flash=08BF image=card.bin
MACHINE
"$biosimage" board --layout legacy --size 131072 --out "$work/card.bin" >/dev/null
cp "$work/card.bin" "$E2E_OUT/old.bin"
"$biostool" inbuilt "$E2E_OUT/inbuilt.bin" >/dev/null
"$biostool" merge "$E2E_OUT/old.bin" "$E2E_OUT/inbuilt.bin" "$E2E_OUT/expected.bin" --length 131072 >/dev/null

walk_default_path
backup=
[ -n "$walk_backup" ] && backup=$("$WINELOADER" winepath -u "$walk_backup" 2>/dev/null | tr -d '\r')
"$WINESERVER" -w >/dev/null 2>&1
[ -n "$backup" ] && cmp -s "$backup" "$E2E_OUT/old.bin" || fail "the backup ${backup:-(none)} does not hold the old image"
cmp -s "$work/card.bin" "$E2E_OUT/expected.bin" || fail "the flash does not hold the in-built image with the board's table"
"$biostool" checksum "$work/card.bin" >/dev/null || fail "the flash image's checksum is not valid"
service_absent
scenario_summary
