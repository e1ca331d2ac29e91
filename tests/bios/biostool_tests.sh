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
*)
    echo "unknown scenario $scenario"
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "ok: $scenario"
