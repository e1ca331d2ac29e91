#!/bin/sh
# Command-line scenarios of biostool and biosimage.
# usage: biostool_tests.sh SCENARIO BIOSTOOL BIOSIMAGE WORKDIR
set -u
scenario=$1
biostool=$2
biosimage=$3
work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect EXIT PATTERN COMMAND...: exit code and a pattern of stdout+stderr
expect() {
    want=$1
    pattern=$2
    shift 2
    "$@" > out.txt 2>&1
    got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, expected $want: $(cat out.txt)"
    if [ -n "$pattern" ]; then
        grep -q -e "$pattern" out.txt || fail "$*: no '$pattern' in: $(cat out.txt)"
    fi
}

# has FILE PATTERN...: every pattern in the file
has() {
    file=$1
    shift
    for p in "$@"; do
        grep -q -e "$p" "$file" || fail "no '$p' in $file"
    done
}

case $scenario in
info_inbuilt)
    expect 0 "" "$biostool" inbuilt inbuilt.bin
    expect 0 "" "$biostool" info --json inbuilt.bin
    cp out.txt info.json
    has info.json '"length": 131072' '"checksumValid": true' '"layout": "stored"' '"blank": true' \
        '"TableOffset": 104' '"TableSize": 388' '"VersionMajor": 2,' '"VersionMinor": 34,' '"ClockMHz": 110,' \
        '"Reg18CCode": 6,' '"RegisterCount": 8,' '"Flags": 0,' '"VersionOffset": 13,' '"VersionLength": 21,' \
        '"ExtraOffset": 82,' '"StringAreaSize": 128,' '"CarriedDescriptorWord": 1,' \
        '"versionText": "ORVEL II AGP Bios Rev 1.02.00.0034\\r\\n'
    expect 0 "checksum: valid" "$biostool" info inbuilt.bin
    ;;
merge_legacy_into_inbuilt)
    expect 0 "" "$biosimage" board --layout legacy --size 65536 --out board.bin
    expect 0 "" "$biosimage" inbuilt --out inbuilt.bin
    expect 0 "merged" "$biostool" merge board.bin inbuilt.bin merged.bin
    [ "$(wc -c < merged.bin)" -eq 65536 ] || fail "merged image is not 65536 bytes"
    expect 0 "" "$biostool" info --json merged.bin
    has out.txt '"checksumValid": true' '"blank": false' '"Flags": 18945,' '"VersionMajor": 2,' \
        '"VersionMinor": 34,' '"VendorName": "Kestrel Boards"' \
        '"versionText": "ORVEL II AGP 16MB Bios Rev 1.02.00.0034\\r\\nKestrel Boards Ltd\\r\\n"'
    # --length: a 128-KB chip gets the whole image, repaired over it.
    expect 0 "" "$biostool" merge board.bin inbuilt.bin merged128.bin --length 131072
    expect 0 "valid over 131072" "$biostool" checksum merged128.bin
    ;;
inbuilt_absent)
    expect 1 "this build carries no in-built image" "$biostool" inbuilt inbuilt.bin
    [ ! -e inbuilt.bin ] || fail "an absent in-built image was written"
    ;;
merge_refused)
    expect 0 "" "$biosimage" board --layout legacy --out board.bin
    expect 1 "merge refused: the new image keeps its table in the legacy layout" \
        "$biostool" merge board.bin board.bin out.bin
    [ ! -e out.bin ] || fail "a refused merge wrote its output"
    expect 0 "" "$biosimage" board --layout stored --out stored.bin
    expect 0 "" "$biosimage" board --layout legacy --count 30 --out broken.bin
    expect 1 "merge refused: the current image's table can't be read (legacy register list count" \
        "$biostool" merge broken.bin stored.bin out.bin
    expect 1 "merge refused: the image length" "$biostool" merge board.bin stored.bin out.bin --length 16
    expect 2 "bad length" "$biostool" merge board.bin stored.bin out.bin --length 131073
    ;;
bad_files)
    expect 1 "cannot open" "$biostool" info missing.bin
    head -c 100 /dev/zero > short.bin
    expect 1 "shorter than one 32768-byte block" "$biostool" info short.bin
    expect 1 "shorter than one 32768-byte block" "$biostool" checksum short.bin
    head -c 131073 /dev/zero > long.bin
    expect 1 "longer than 131072 bytes" "$biostool" info long.bin
    expect 1 "longer than 131072 bytes" "$biostool" merge long.bin long.bin out.bin
    head -c 32768 /dev/zero > zeros.bin
    expect 1 "does not start with 55 AA" "$biostool" info zeros.bin
    expect 0 "" "$biosimage" board --layout legacy --count 30 --out broken.bin
    expect 1 "board table can't be read: legacy register list count is outside 5..21" "$biostool" info broken.bin
    # Arbitrary bytes behind a signature: reported or refused, never a crash.
    { printf '\125\252'; head -c 65534 /dev/urandom; } > noise.bin
    "$biostool" info --json noise.bin > out.txt 2>&1
    [ $? -le 1 ] || fail "info on random bytes: $(cat out.txt)"
    "$biostool" merge noise.bin noise.bin out.bin > out.txt 2>&1
    [ $? -le 1 ] || fail "merge of random bytes: $(cat out.txt)"
    expect 2 "usage" "$biostool"
    expect 2 "usage" "$biostool" frobnicate
    expect 2 "usage" "$biostool" info
    # A usage error names what is wrong, on standard error; help and version
    # go to standard output with exit 0.
    expect 2 "^biostool: unknown command frobnicate" "$biostool" frobnicate
    expect 2 "^biostool: unknown option --colour" "$biostool" --colour
    expect 2 "^biostool: missing arguments" "$biostool" info
    expect 2 "^biostool: checksum does not take extra.bin" "$biostool" checksum a.bin extra.bin
    expect 2 "^biostool: --length needs a length" "$biostool" merge a.bin b.bin c.bin --length
    "$biostool" frobnicate > out.txt 2> err.txt
    [ -s out.txt ] && fail "a usage error printed on standard output: $(cat out.txt)"
    grep -q "Exit codes" err.txt && fail "a usage error printed the whole help: $(cat err.txt)"
    for switch in --help -h; do
        "$biostool" $switch > out.txt 2> err.txt
        [ $? -eq 0 ] || fail "biostool $switch exited $?"
        has out.txt "^usage: biostool info" "^Exit codes: 0 done"
        [ -s err.txt ] && fail "biostool $switch printed on standard error: $(cat err.txt)"
    done
    expect 0 "^biostool [0-9]*\.[0-9]*\.[0-9]*\.[0-9]*$" "$biostool" --version
    ;;
command_words)
    # merge takes three files and checksum one, each with its length option
    # anywhere among them (the last one counts); other words are refused as
    # usage errors that write nothing.
    expect 0 "" "$biosimage" board --layout legacy --size 65536 --out board.bin
    expect 0 "" "$biosimage" board --layout stored --size 131072 --out stored.bin
    expect 0 "merged: out1.bin written, 65536 bytes" "$biostool" merge --length 65536 board.bin stored.bin out1.bin
    expect 0 "merged: out2.bin written, 65536 bytes" "$biostool" merge board.bin --length 0x10000 stored.bin out2.bin
    expect 0 "merged: out3.bin written, 65536 bytes" \
        "$biostool" merge board.bin stored.bin out3.bin --length 16 --length 65536
    expect 2 "usage" "$biostool" merge board.bin stored.bin
    expect 2 "usage" "$biostool" merge board.bin stored.bin a.bin b.bin
    expect 2 "usage" "$biostool" merge board.bin stored.bin a.bin --length
    expect 2 "usage" "$biostool" merge board.bin stored.bin a.bin --repair 65536
    expect 2 "bad length x (at most 131072)" "$biostool" merge --length x board.bin stored.bin a.bin
    [ ! -e a.bin ] || fail "a refused merge wrote its output"
    expect 0 "checksum valid over 65536 bytes" "$biostool" checksum --repair 65536 board.bin
    expect 2 "usage" "$biostool" checksum
    expect 2 "usage" "$biostool" checksum board.bin stored.bin
    expect 2 "usage" "$biostool" checksum board.bin --length 65536
    expect 2 "usage" "$biostool" checksum board.bin --repair
    expect 2 "bad length 131073" "$biostool" checksum board.bin --repair 131073
    ;;
checksum_repair)
    expect 0 "" "$biosimage" board --layout stored --size 131072 --out board.bin
    expect 0 "checksum valid over 131072 bytes" "$biostool" checksum board.bin
    expect 0 "checksum valid over 65536 bytes" "$biostool" checksum board.bin --repair 65536
    [ "$(wc -c < board.bin)" -eq 131072 ] || fail "repair changed the file size"
    expect 1 "checksum invalid over 131072 bytes" "$biostool" checksum board.bin
    expect 1 "cannot repair over 16 bytes" "$biostool" checksum board.bin --repair 16
    # A 40000-byte file counts one whole block.
    head -c 40000 board.bin > odd.bin
    expect 0 "length: 32768" "$biostool" info odd.bin
    ;;
board_layouts)
    expect 0 "" "$biosimage" board --layout stored --table-size 352 --size 131072 --out old.bin
    expect 0 "" "$biostool" info --json old.bin
    has out.txt '"TableSize": 352,' '"layout": "stored"' '"length": 131072' '"checksumValid": true'
    expect 0 "" "$biosimage" board --blank --out blank.bin
    expect 0 '"blank": true' "$biostool" info --json blank.bin
    expect 0 "" "$biosimage" board --layout legacy --size 131072 --flags 0x8001 --product "Pro 3D" \
        --version "Version 0.9" --vendor "Maker" --reg 0x100=1 --reg 0x104=2 --reg 0x108=3 --reg 0x10C=4 \
        --reg 0x110=5 --reg 0x18C=0x4 --slot6 0x120=0x55 --clock-hz 125000000 --out custom.bin
    expect 0 "" "$biostool" info --json custom.bin
    has out.txt '"layout": "legacy"' '"Flags": 32769,' '"Bit15Flag": 1,' '"Reg18CCode": 5,' '"ClockMHz": 125,' \
        '"VersionMajor": 9,' '"VersionMinor": 0,' '"RegisterCount": 7,' '"VendorName": "Maker"' \
        '{"slot": 6, "register": 288, "value": 2147549269}'
    expect 1 "does not fit" "$biosimage" board --layout legacy --reg 1=1 --out few.bin
    expect 1 "does not fit" "$biosimage" board --size 1000 --out bad.bin
    expect 2 "bad option" "$biosimage" board --layout sideways --out bad.bin
    ;;
declared_length)
    # An option ROM cut at its declared length (78 x 512 = 39936 bytes), as
    # other tools save them: the wizard counts only the whole block.
    expect 0 "" "$biosimage" board --layout stored --size 65536 --out board.bin
    cut_rom() { # cut_rom IN SIZE_BYTE_OCTAL LENGTH OUT: size byte set, cut, summed over LENGTH
        cp "$1" "$4.tmp"
        printf "\\$2" | dd of="$4.tmp" bs=1 seek=2 conv=notrunc 2>/dev/null
        head -c "$3" "$4.tmp" > "$4"
        rm -f "$4.tmp"
        "$biostool" checksum "$4" --repair "$3" >/dev/null 2>&1 || fail "cannot sum $4 over $3"
    }
    cut_rom board.bin 116 39936 rom.bin
    expect 1 "checksum invalid over 32768 bytes" "$biostool" checksum rom.bin
    has out.txt "declared length: 39936 bytes (size byte 78 x 512), checksum valid over them" \
        "biostool pad rom.bin OUT fills it with zero bytes to 65536 bytes"
    expect 0 "" "$biostool" info --json rom.bin
    has out.txt '"length": 32768' '"checksumValid": false' '"declaredLength": 39936' '"declaredChecksum": "valid"'
    expect 0 "" "$biostool" pad rom.bin padded.bin
    has out.txt "65536 bytes (39936 from rom.bin and 25600 zero bytes)"
    [ "$(wc -c < padded.bin)" -eq 65536 ] || fail "padded image is not 65536 bytes"
    head -c 39936 padded.bin | cmp -s - rom.bin || fail "padding changed the ROM's own bytes"
    [ "$(tail -c 25600 padded.bin | tr -d '\000' | wc -c)" -eq 0 ] || fail "the padding is not zero bytes"
    expect 0 "checksum valid over 65536 bytes" "$biostool" checksum padded.bin
    # Less than one block: the wizard sees no image at all, pad makes one.
    cut_rom board.bin 070 28672 small.bin
    expect 1 "checksum invalid over 0 bytes" "$biostool" checksum small.bin
    has out.txt "declared length: 28672 bytes (size byte 56 x 512), checksum valid"
    expect 0 "" "$biostool" pad small.bin small32.bin
    expect 0 "checksum valid over 32768 bytes" "$biostool" checksum small32.bin
    # A header that claims more than the file holds.
    cp rom.bin claims.bin
    printf '\310' | dd of=claims.bin bs=1 seek=2 conv=notrunc 2>/dev/null
    expect 1 "declared length: 102400 bytes (size byte 200 x 512), beyond the file's 39936 bytes" \
        "$biostool" checksum claims.bin
    ;;
pci_data)
    # The PCI data structure the word at 0x18 points to ("PCIR" at 0x1F0 in
    # the generated boards): a network card's boot ROM is no Orvel card's,
    # another device of a card vendor is, and a pointer that leads nowhere
    # gives none.
    expect 0 "" "$biosimage" board --layout stored --size 65536 --out board.bin
    expect 0 "pci data: at 0x1F0, vendor 1D2E, device 0C61, class 030000" "$biostool" info board.bin
    has out.txt "for an Orvel card: yes"
    poke() { # poke FILE OFFSET OCTAL-BYTES...: bytes written at OFFSET, the sum repaired
        file=$1 offset=$2
        shift 2
        for byte in "$@"; do
            printf "\\$byte" | dd of="$file" bs=1 seek="$offset" conv=notrunc 2>/dev/null
            offset=$((offset + 1))
        done
        "$biostool" checksum "$file" --repair 65536 >/dev/null 2>&1 || fail "cannot sum $file"
    }
    cp board.bin network.bin
    poke network.bin $((0x1F4)) 206 200 016 020 # vendor 8086, device 100E
    poke network.bin $((0x1FD)) 000 000 002     # class 02 00 00
    expect 0 "pci data: at 0x1F0, vendor 8086, device 100E, class 020000" "$biostool" info network.bin
    has out.txt "for an Orvel card: no (a vendor no Orvel card has)"
    expect 0 "" "$biostool" info --json network.bin
    has out.txt '"vendorId": 32902, "deviceId": 4110, "classCode": 131072' '"forOrvelCard": "other vendor"'
    cp board.bin orvel-network.bin
    poke orvel-network.bin $((0x1FD)) 000 000 002
    expect 0 "for an Orvel card: no (a class other than display)" "$biostool" info orvel-network.bin
    cp board.bin other-card.bin
    poke other-card.bin $((0x1F4)) 133 036 122 012 # 1E5B:0A52
    expect 0 "for an Orvel card: yes" "$biostool" info other-card.bin
    for pointer in '000 000' '362 377' '354 377'; do # 0, 0xFFF2, 0xFFEC: a record the file's end cuts
        cp board.bin nowhere.bin
        poke nowhere.bin $((0xFFEC)) 120 103 111 122 # "PCIR" 20 bytes before the end
        # shellcheck disable=SC2086
        poke nowhere.bin 24 $pointer
        expect 0 "pci data: none" "$biostool" info nowhere.bin
        has out.txt "for an Orvel card: unknown (no PCI data structure)"
        expect 0 "" "$biostool" info --json nowhere.bin
        has out.txt '"pciData": null,' '"forOrvelCard": "unknown"'
    done
    # pad mends a ROM of any card, and says when it is not an Orvel card's.
    head -c 40000 network.bin > cut.bin
    printf '\116' | dd of=cut.bin bs=1 seek=2 conv=notrunc 2>/dev/null
    head -c 39936 cut.bin > cut2.bin
    "$biostool" checksum cut2.bin --repair 39936 >/dev/null 2>&1 || fail "cannot sum cut2.bin"
    expect 0 "warning: cut2.bin is not a video BIOS for an Orvel card" "$biostool" pad cut2.bin padded.bin
    [ "$(wc -c < padded.bin)" -eq 65536 ] || fail "the network ROM was not padded"
    head -c 39936 board.bin > own.bin
    printf '\116' | dd of=own.bin bs=1 seek=2 conv=notrunc 2>/dev/null
    "$biostool" checksum own.bin --repair 39936 >/dev/null 2>&1 || fail "cannot sum own.bin"
    "$biostool" pad own.bin own-padded.bin > out.txt 2>&1 || fail "pad refused own.bin: $(cat out.txt)"
    grep -q warning out.txt && fail "pad warned about an Orvel card's ROM: $(cat out.txt)"
    ;;
pad_refused)
    expect 0 "" "$biosimage" board --layout stored --size 65536 --out board.bin
    cp board.bin rom.bin
    printf '\116' | dd of=rom.bin bs=1 seek=2 conv=notrunc 2>/dev/null
    head -c 39936 rom.bin > cut.bin
    "$biostool" checksum cut.bin --repair 39936 > /dev/null 2>&1
    # OUT is never replaced, nor IN by itself.
    printf 'keep' > taken.bin
    expect 1 "taken.bin exists: not overwritten" "$biostool" pad cut.bin taken.bin
    [ "$(cat taken.bin)" = keep ] || fail "pad replaced an existing file"
    expect 1 "cut.bin exists: not overwritten" "$biostool" pad cut.bin cut.bin
    [ "$(wc -c < cut.bin)" -eq 39936 ] || fail "pad changed its input"
    expect 1 "whole 32768-byte blocks already: nothing to pad" "$biostool" pad board.bin out.bin
    # A sum that padding cannot mend.
    cp cut.bin bad.bin
    printf '\001' | dd of=bad.bin bs=1 seek=100 conv=notrunc 2>/dev/null
    expect 1 "checksum over its declared length: invalid), so padding cannot make its checksum valid" \
        "$biostool" pad bad.bin out.bin
    head -c 131073 /dev/zero > long.bin
    expect 1 "longer than 131072 bytes" "$biostool" pad long.bin out.bin
    head -c 40000 /dev/zero > zeros.bin
    expect 1 "does not start with 55 AA" "$biostool" pad zeros.bin out.bin
    expect 1 "cannot open" "$biostool" pad missing.bin out.bin
    [ ! -e out.bin ] || fail "a refused pad wrote its output"
    expect 1 "cannot create" "$biostool" pad cut.bin no-such-folder/out.bin
    expect 2 "usage" "$biostool" pad cut.bin
    expect 2 "usage" "$biostool" pad cut.bin a.bin b.bin
    ;;
debian_roms)
    # Real option ROMs as Debian ships them (packages seabios and ipxe-qemu),
    # each cut at its declared length with a valid sum over it.
    roms=$(ls /usr/share/seabios/vgabios*.bin /usr/lib/ipxe/qemu/*.rom 2>/dev/null)
    if [ -z "$roms" ]; then
        echo "SKIP: no option ROMs of Debian's seabios or ipxe-qemu packages here (apt-get install seabios ipxe-qemu)"
        exit 77
    fi
    checked=0
    for rom in $roms; do
        size=$(wc -c < "$rom")
        name=$(basename "$rom")
        if [ "$size" -gt 131072 ]; then
            expect 1 "longer than 131072 bytes" "$biostool" pad "$rom" "big-$name"
            continue
        fi
        "$biostool" checksum "$rom" > out.txt 2>&1
        has out.txt "checksum valid over $size bytes\|declared length: $size bytes (size byte .* x 512), checksum valid over them"
        if [ $((size % 32768)) -ne 0 ]; then
            has out.txt "checksum invalid over $((size / 32768 * 32768)) bytes" "biostool pad"
            expect 0 "" "$biostool" pad "$rom" "$name"
            expect 0 "checksum valid over $(((size + 32767) / 32768 * 32768)) bytes" "$biostool" checksum "$name"
            "$biostool" info --json "$rom" > out.txt 2>&1
            has out.txt "\"declaredLength\": $size" '"declaredChecksum": "valid"'
        fi
        checked=$((checked + 1))
    done
    [ "$checked" -gt 0 ] || fail "no ROM of 128 KB or less among $roms"
    ;;
*)
    echo "unknown scenario $scenario"
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "ok: $scenario"
