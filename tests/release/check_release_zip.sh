#!/usr/bin/env bash
# Checks the i686 release package: its file list, its SHA256SUMS, the PE
# headers of the shipped binaries (i686; GUI, console or NT native; subsystem
# version 4.0; no debug sections or symbol table; a valid checksum), that the
# guide's pictures are cropped to what they show, and that
# setup.cfg.sample with every line uncommented is read by the program's own
# reader with no unknown key.
#   check_release_zip.sh ZIP CFGCHECK OBJDUMP NM WORK_DIR
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: check_release_zip.sh ZIP CFGCHECK OBJDUMP NM WORK_DIR" >&2; exit 2; }
zip=$1 cfgcheck=$2 objdump=$3 nm=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$zip" ] || { echo "FAIL: no package $zip (scripts/package.sh makes it)"; exit 1; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work"
mkdir -p "$work"
(cd "$work" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
name=$(basename "$zip" .zip)
dir=$work/$name
[ -d "$dir" ] || { echo "FAIL: the package does not hold the folder $name"; exit 1; }

shots="images/read-question.png images/save-backup.png images/select-bios-read-error.png images/select-bios.png
       images/select-device.png images/setup-complete.png images/welcome.png images/write-question.png"
want=$(printf '%s\n' Dorvane.exe Pelmix.sys pelmixctl.exe biostool.exe setup.cfg.sample guide.html guide.txt \
       READ-ME-FIRST.txt SHA256SUMS $shots | LC_ALL=C sort)
got=$(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$want" = "$got" ] || fail "file list differs: $(diff <(echo "$want") <(echo "$got") | grep '^[<>]' | tr '\n' ' ')"
sums=$(sed 's/^[0-9a-f]*  //' "$dir/SHA256SUMS" | LC_ALL=C sort)
[ "$sums" = "$(echo "$got" | grep -vx SHA256SUMS)" ] || fail "SHA256SUMS does not list exactly the other files"
(cd "$dir" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

# The version in the file name is the one in the program's version resource.
version=${name#Dorvane-}
version=${version%-win32}
# (grep reads all: an early exit would fail the pipe.)
tr -d '\000' <"$dir/Dorvane.exe" | grep -a -c "FileVersion$version" >/dev/null || fail "Dorvane.exe's version resource does not say $version"
grep -q "$version" "$dir/guide.html" || fail "the guide does not name version $version"
grep -q '^    usage: pelmixctl ' "$dir/guide.txt" || fail "the guide does not show pelmixctl's help"

# shipped FILE SUBSYSTEM: PE headers of a shipped binary.
shipped() {
    local file=$dir/$1 headers
    headers=$("$objdump" -p "$file" 2>&1) || { fail "$1: not a PE image"; return; }
    grep -q 'file format pei-i386$' <<<"$headers" || fail "$1: not an i386 image"
    grep -q "^Subsystem[[:space:]]*0000000$2" <<<"$headers" || fail "$1: subsystem is not $2"
    grep -q '^MajorSubsystemVersion[[:space:]]*4$' <<<"$headers" &&
        grep -q '^MinorSubsystemVersion[[:space:]]*0$' <<<"$headers" || fail "$1: subsystem version is not 4.0"
    local debug
    debug=$("$objdump" -h "$file" | awk '$1 ~ /^[0-9]+$/ && $2 ~ /^\.(debug|zdebug|stab)/ { print $2 }' | tr '\n' ' ')
    [ -z "$debug" ] || fail "$1: debug sections $debug"
    "$nm" "$file" 2>&1 | grep -q 'no symbols' || fail "$1: carries a symbol table"
}
shipped Dorvane.exe 2
shipped Pelmix.sys 1
shipped pelmixctl.exe 3
shipped biostool.exe 3

# Each picture is cropped to the page or box it shows, never the whole
# 1024x768 screen of the robot's desktop.
for shot in $shots; do
    size=$(identify -format '%wx%h' "$dir/$shot" 2>/dev/null) || { fail "$shot: not a picture"; continue; }
    [ "$size" != 1024x768 ] || fail "$shot is the whole screen, not cropped to its page or box"
done

# The sample changes nothing as it is, and every setting in it is one the
# program reads.
"$here/check_sample.sh" "$dir/setup.cfg.sample" "$cfgcheck" "$work/sample" || failed=1

[ $failed -eq 0 ] && echo "OK: $zip"
exit $failed
