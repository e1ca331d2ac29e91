#!/bin/sh
# Checks that a built Pelmix.sys is a kernel driver the NT loader accepts:
# a PE32 i386 image for the native subsystem, entered at DriverEntry, exporting
# nothing, importing only from the kernel and the HAL, and carrying the
# version description of its variant.
# Usage: check_driver_image.sh OBJDUMP NM DRIVER DESCRIPTION [FORBIDDEN]
# FORBIDDEN is a text the image must not carry (the other variant's mark).
set -u
objdump=$1 nm=$2 driver=$3 description=$4 forbidden=${5:-}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

[ -f "$driver" ] || { echo "FAIL: $driver does not exist"; exit 1; }
headers=$("$objdump" -p "$driver") || { echo "FAIL: $objdump cannot read $driver"; exit 1; }

echo "$headers" | grep -q 'file format pei-i386' || fail "not an i386 PE image"
echo "$headers" | grep -q '^Magic[[:space:]]*010b' || fail "not PE32"
echo "$headers" | grep -q '^Subsystem[[:space:]]*00000001' || fail "subsystem is not native"

dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
[ "$dlls" = "hal.dll ntoskrnl.exe " ] || fail "imports from [$dlls], expected only hal.dll and ntoskrnl.exe"

exports=$(echo "$headers" | sed -n 's/^[[:space:]]*Export Address Table[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' | head -1)
if [ -n "$exports" ] && [ $((0x$exports)) -ne 0 ]; then
    fail "the image exports $((0x$exports)) symbols"
fi

entry=$(echo "$headers" | sed -n 's/^AddressOfEntryPoint[[:space:]]*//p')
base=$(echo "$headers" | sed -n 's/^ImageBase[[:space:]]*//p')
symbol=$("$nm" "$driver" | sed -n 's/^\([0-9a-fA-F]*\) T _DriverEntry@8$/\1/p')
if [ -z "$entry" ] || [ -z "$base" ] || [ -z "$symbol" ]; then
    fail "entry point [$entry], image base [$base] or _DriverEntry@8 [$symbol] not found"
elif [ $((0x$symbol - 0x$base)) -ne $((0x$entry)) ]; then
    fail "entry point 0x$entry is not DriverEntry (0x$symbol - 0x$base)"
fi

# The version strings are UTF-16; dropping the zero bytes makes them greppable.
if ! tr -d '\000' < "$driver" | grep -a -q "FileDescription$description"; then
    fail "version description is not \"$description\""
fi

if [ -n "$forbidden" ] && tr -d '\000' < "$driver" | grep -a -q -i "$forbidden"; then
    fail "the image carries \"$forbidden\""
fi

[ $failed -eq 0 ] && echo "OK: $driver"
exit $failed
