#!/bin/sh
# Checks that a built Pelmix.sys is a kernel driver its loader accepts: a PE
# image of the given architecture for the native subsystem, entered at
# DriverEntry, exporting nothing, importing only from the given DLLs (and
# only routines those DLLs export, when their files are given), and carrying
# the version description of its variant.
# Options:
#   --objdump PROGRAM --nm PROGRAM --driver FILE --description TEXT
#   --arch i386|x86-64     the image's architecture (default i386)
#   --dlls "a.dll b.exe"   the only DLLs it may import from, lower case, sorted
#   --not-text TEXT        a text the image must not carry (the other variant's mark)
#   --no-import NAME       a routine it must not import (repeatable)
#   --exports-of FILE      a DLL whose exports bound the imports (repeatable)
set -u
objdump= nm= driver= description= arch=i386 dlls="hal.dll ntoskrnl.exe" not_text=
no_imports= export_files=
while [ $# -gt 0 ]; do
    case $1 in
        --objdump) objdump=$2 ;;
        --nm) nm=$2 ;;
        --driver) driver=$2 ;;
        --description) description=$2 ;;
        --arch) arch=$2 ;;
        --dlls) dlls=$2 ;;
        --not-text) not_text=$2 ;;
        --no-import) no_imports="$no_imports $2" ;;
        --exports-of) export_files="$export_files $2" ;;
        *) echo "unknown option $1"; exit 2 ;;
    esac
    shift 2
done
failed=0
fail() { echo "FAIL: $*"; failed=1; }

[ -f "$driver" ] || { echo "FAIL: $driver does not exist"; exit 1; }
headers=$("$objdump" -p "$driver") || { echo "FAIL: $objdump cannot read $driver"; exit 1; }

case $arch in
    i386) magic=010b entry_symbol='_DriverEntry@8' ;;
    x86-64) magic=020b entry_symbol='DriverEntry' ;;
    *) echo "unknown architecture $arch"; exit 2 ;;
esac
echo "$headers" | grep -q "file format pei-$arch\$" || fail "not a pei-$arch image"
echo "$headers" | grep -q "^Magic[[:space:]]*$magic" || fail "optional header magic is not $magic"
echo "$headers" | grep -q '^Subsystem[[:space:]]*00000001' || fail "subsystem is not native"

found_dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
for dll in $found_dlls; do
    case " $dlls " in
        *" $dll "*) ;;
        *) fail "imports from $dll; allowed: $dlls" ;;
    esac
done

# Imported routine names: the rows under each "DLL Name:" line.
imports=$(echo "$headers" | sed -n '/^[[:space:]]*DLL Name:/,/^[[:space:]]*$/p' |
          sed -n 's/^[[:space:]]*[0-9a-fA-F]\{1,\}[[:space:]]\{1,\}[0-9]\{1,\}[[:space:]]\{1,\}\([A-Za-z_][A-Za-z0-9_@]*\)$/\1/p')
for name in $no_imports; do
    if echo "$imports" | grep -qx "$name"; then
        fail "imports $name"
    fi
done
if [ -n "$export_files" ]; then
    exported=$(for f in $export_files; do "$objdump" -p "$f"; done |
               sed -n '/Ordinal\/Name Pointer/,$p' | sed -n 's/^.*\] \([A-Za-z_][A-Za-z0-9_@]*\)$/\1/p')
    for name in $imports; do
        echo "$exported" | grep -qx "$name" || fail "imports $name, which$export_files do not export"
    done
fi

exports=$(echo "$headers" | sed -n 's/^[[:space:]]*Export Address Table[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' | head -1)
if [ -n "$exports" ] && [ $((0x$exports)) -ne 0 ]; then
    fail "the image exports $((0x$exports)) symbols"
fi

entry=$(echo "$headers" | sed -n 's/^AddressOfEntryPoint[[:space:]]*//p')
base=$(echo "$headers" | sed -n 's/^ImageBase[[:space:]]*//p')
symbol=$("$nm" "$driver" | sed -n "s/^\\([0-9a-fA-F]*\\) T $entry_symbol\$/\\1/p")
if [ -z "$entry" ] || [ -z "$base" ] || [ -z "$symbol" ]; then
    fail "entry point [$entry], image base [$base] or $entry_symbol [$symbol] not found"
elif [ $((0x$symbol - 0x$base)) -ne $((0x$entry)) ]; then
    fail "entry point 0x$entry is not $entry_symbol (0x$symbol - 0x$base)"
fi

# The version strings are UTF-16; dropping the zero bytes makes them greppable.
if ! tr -d '\000' < "$driver" | grep -a -q "FileDescription$description"; then
    fail "version description is not \"$description\""
fi
if [ -n "$not_text" ] && tr -d '\000' < "$driver" | grep -a -q -i "$not_text"; then
    fail "the image carries \"$not_text\""
fi

[ $failed -eq 0 ] && echo "OK: $driver"
exit $failed
