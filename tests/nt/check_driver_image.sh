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
#   --imports-file FILE    the routines it must import, exactly: one a line, the
#                          name and the first NT version exporting it (3.10, 4.0...)
#   --oldest-kernel V      no routine of the imports file may be newer than NT V
#   --symbols FILE         where the entry symbol is found (default the driver;
#                          a shipped driver keeps its symbols in a separate file)
#   --shipped              a binary as shipped: subsystem version 4.0, a valid
#                          PE checksum, base relocations, no debug sections or
#                          symbol table, no x87 or SSE instruction (the kernel
#                          does not save that state for a driver)
set -u
objdump= nm= driver= description= arch=i386 dlls="hal.dll ntoskrnl.exe" not_text=
no_imports= export_files= imports_file= symbols= shipped= oldest_kernel=
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
        --imports-file) imports_file=$2 ;;
        --oldest-kernel) oldest_kernel=$2 ;;
        --symbols) symbols=$2 ;;
        --shipped) shipped=1; shift; continue ;;
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

if [ -n "$imports_file" ]; then
    want=$(sed -e 's/#.*//' "$imports_file" | awk 'NF { print $1 }' | sort -u)
    # Versions compare as major * 100 + minor: 3.10 310, 4.0 400, 5.1 501.
    if [ -n "$oldest_kernel" ]; then
        newer=$(sed -e 's/#.*//' "$imports_file" | awk -v oldest="$oldest_kernel" '
            function number(v,  parts) { split(v, parts, "."); return parts[1] * 100 + parts[2] }
            NF && (NF < 2 || $2 !~ /^[0-9]+\.[0-9]+$/) { print $1 " (no version)"; next }
            NF && number($2) > number(oldest) { print $1 " (" $2 ")" }')
        [ -z "$newer" ] || fail "imports routines newer than NT $oldest_kernel: $(echo $newer)"
    fi
    got=$(echo "$imports" | grep -v '^$' | sort -u)
    for name in $want; do
        echo "$got" | grep -qx "$name" || fail "does not import $name, which $imports_file lists"
    done
    for name in $got; do
        echo "$want" | grep -qx "$name" || fail "imports $name, which $imports_file does not list"
    done
fi

exports=$(echo "$headers" | sed -n 's/^[[:space:]]*Export Address Table[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' | head -1)
if [ -n "$exports" ] && [ $((0x$exports)) -ne 0 ]; then
    fail "the image exports $((0x$exports)) symbols"
fi

entry=$(echo "$headers" | sed -n 's/^AddressOfEntryPoint[[:space:]]*//p')
base=$(echo "$headers" | sed -n 's/^ImageBase[[:space:]]*//p')
symbol=$("$nm" "${symbols:-$driver}" | sed -n "s/^\\([0-9a-fA-F]*\\) T $entry_symbol\$/\\1/p")
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

# The PE checksum: the file's 16-bit words summed with end-around carry,
# leaving out the checksum field (offset 64 of the optional header), plus the
# file length. od pads an odd last byte with zero, as the sum wants.
pe_checksum() {
    pe_offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    field_word=$(((pe_offset + 24 + 64) / 2))
    od -An -v -tu2 "$1" | awk -v skip="$field_word" -v size="$(wc -c <"$1")" '
        { for (i = 1; i <= NF; i++) { if (n != skip && n != skip + 1) { s += $i; s = s % 65536 + int(s / 65536) } n++ } }
        END { printf "%08x\n", s + size }'
}

if [ -n "$shipped" ]; then
    echo "$headers" | grep -q '^MajorSubsystemVersion[[:space:]]*4$' || fail "major subsystem version is not 4"
    echo "$headers" | grep -q '^MinorSubsystemVersion[[:space:]]*0$' || fail "minor subsystem version is not 0"

    stored=$(echo "$headers" | sed -n 's/^CheckSum[[:space:]]*//p')
    computed=$(pe_checksum "$driver")
    [ "$stored" = "$computed" ] || fail "PE checksum is ${stored:-missing}, the file sums to $computed"

    relocs=$(echo "$headers" | sed -n 's/^Entry 5 [0-9a-fA-F]* \([0-9a-fA-F]*\) Base Relocation Directory.*/\1/p')
    characteristics=$(echo "$headers" | sed -n 's/^Characteristics 0x\([0-9a-fA-F]*\)$/\1/p' | head -1)
    if [ -z "$relocs" ] || [ $((0x$relocs)) -eq 0 ]; then
        fail "no base relocations"
    elif [ -z "$characteristics" ] || [ $((0x$characteristics & 1)) -ne 0 ]; then
        fail "the header says the relocations are stripped"
    fi

    debug_sections=$("$objdump" -h "$driver" | awk '$1 ~ /^[0-9]+$/ && $2 ~ /^\.(debug|zdebug|stab)/ { print $2 }' | tr '\n' ' ')
    [ -z "$debug_sections" ] || fail "debug sections: $debug_sections"
    "$nm" "$driver" 2>&1 | grep -q 'no symbols' || fail "the image carries a symbol table"

    # Mnemonics of x87 (all begin with f) and of MMX/SSE (their registers, and
    # the few that name none).
    float=$("$objdump" -d --no-show-raw-insn "$driver" | awk -F'\t' 'NF >= 2 { print $NF }' |
            grep -E '^f[a-z]+|%x?mm[0-9]|%ymm|^(emms|ldmxcsr|stmxcsr|fxsave|fxrstor|sfence|lfence|mfence|movnt)' | sort -u | head -5 | tr '\n' ';')
    [ -z "$float" ] || fail "x87/SSE instructions: $float"
fi

[ $failed -eq 0 ] && echo "OK: $driver"
exit $failed
