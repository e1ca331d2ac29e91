#!/usr/bin/env bash
# Runs the same pelmixctl commands twice on one machine file: natively on the
# emulated machine (pelmixctl --machine) and under Wine through the
# emulated-hardware Pelmix.sys loaded as a kernel service (pelmixctl.exe).
# Both must print the same JSON lines (the virtual-time fields aside), exit
# with the same code and leave byte-identical files; afterwards no "Pelmix"
# service may remain in the Wine prefix.
#
#   compare_with_native.sh --source DIR --build DIR --native PELMIXCTL --exe PELMIXCTL.EXE
#       --driver PELMIX.SYS --name NAME --machine FILE [--file NAME:SIZE:SEED]... [--input NAME=PATH]...
#       [--leftover-service] [--stale-inputs "IN..."] [--i386-root ROOT] [--exit CODE]
#       [--same FILE=FILE]... [--stdin null|pipe|file] [--stderr-has TEXT]... [--stderr-lacks TEXT]...
#       [--quiet] -- COMMAND...
#
# --file makes an input file (a chip image named by the machine file, or an
# image to write) of SIZE bytes whose content SEED determines; each run gets
# its own copy. --input copies an existing file (a real BIOS image) in as
# NAME. --leftover-service installs a stopped "Pelmix" service first,
# as a crashed run would leave it. --stale-inputs gives the input length of
# each request (all raw ones): the emulated-hardware driver fills the system
# buffer past the input with a stale pattern, as a real kernel leaves pool
# memory there, and no reply may bring any of it back. --i386-root runs Wine
# in that root (scripts/i386-root.sh): the 32-bit Wine there runs the i686
# binaries. --exit CODE: both runs must end with CODE. --same A=B: after the
# Wine run its files A and B are byte-identical (a chip and the backup).
# --stdin gives both runs standard input from /dev/null, from a pipe or from a
# file, each holding no terminal (the pipe and the file hold "y"). --stderr-has
# and --stderr-lacks: both runs' standard error holds (or lacks) TEXT.
# --quiet: both runs print nothing on standard output (a usage error). The
# restore command a run prints names the machine file only natively; that
# part is left out of the comparison.
set -uo pipefail

source_dir= build= native= exe= driver= name= machine= leftover=0 stale_inputs= i386_root= want_exit=
stdin_kind= quiet=0
files=() inputs=() sames=() stderr_has=() stderr_lacks=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    case $1 in
        --source) source_dir=$2; shift ;;
        --build) build=$2; shift ;;
        --native) native=$2; shift ;;
        --exe) exe=$2; shift ;;
        --driver) driver=$2; shift ;;
        --name) name=$2; shift ;;
        --machine) machine=$2; shift ;;
        --file) files+=("$2"); shift ;;
        --input) inputs+=("$2"); shift ;;
        --leftover-service) leftover=1 ;;
        --stale-inputs) stale_inputs=$2; shift ;;
        --i386-root) i386_root=$2; shift ;;
        --exit) want_exit=$2; shift ;;
        --same) sames+=("$2"); shift ;;
        --stdin) stdin_kind=$2; shift ;;
        --stderr-has) stderr_has+=("$2"); shift ;;
        --stderr-lacks) stderr_lacks+=("$2"); shift ;;
        --quiet) quiet=1 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
[ "${1:-}" = -- ] || { echo "missing -- before the commands" >&2; exit 2; }
shift

work=$build/wine-tests/$name
rm -rf "$work"
mkdir -p "$work/input" "$work/native" "$work/stage"

# Deterministic content: byte i of file SEED is (i * 7 + i / 256 + SEED) mod 256.
make_file() {
    LC_ALL=C awk -v size="$2" -v seed="$3" \
        'BEGIN { for (i = 0; i < size; i++) printf "%c", (i * 7 + int(i / 256) + seed) % 256 }' > "$1"
}
for recipe in "${files[@]}"; do
    IFS=: read -r file size seed <<< "$recipe"
    make_file "$work/input/$file" "$size" "$seed"
done
for recipe in "${inputs[@]}"; do
    cp "${recipe#*=}" "$work/input/${recipe%%=*}" || exit 1
done

# with_stdin COMMAND...: runs COMMAND with the standard input --stdin chose.
printf 'y\n' > "$work/answer.txt"
with_stdin() {
    case $stdin_kind in
        null) "$@" < /dev/null ;;
        pipe) printf 'y\n' | "$@" ;;
        file) "$@" < "$work/answer.txt" ;;
        "") "$@" ;;
        *) echo "unknown --stdin $stdin_kind" >&2; return 2 ;;
    esac
}

# Native run.
cp "$machine" "$work/native/machine.machine"
cp "$work/input/"* "$work/native/" 2>/dev/null
(cd "$work/native" && with_stdin "$native" --machine machine.machine --json "$@" > stdout.txt 2> stderr.txt)
native_status=$?

# Wine run: the driver finds its machine as Pelmix.machine beside it.
cp "$exe" "$driver" "$work/stage/"
cp "$machine" "$work/stage/Pelmix.machine"
cp "$work/input/"* "$work/stage/" 2>/dev/null

# wine_do COMMAND...: runs COMMAND with the project's Wine environment set,
# in the i386 root when one is given.
if [ -n "$i386_root" ]; then
    wine_do() {
        "$source_dir/scripts/i386-root.sh" run "$i386_root" "$source_dir" "$build" -- \
            bash -c '. "$1/scripts/wine-env.sh" "$2" || exit 125; shift 2; "$@"' bash "$source_dir" "$build" "$@"
    }
    WINEPREFIX=$(wine_do printenv WINEPREFIX) || exit 1
else
    . "$source_dir/scripts/wine-env.sh" "$build" || exit 1
    wine_do() { "$@"; }
fi
registry_key='[System\\CurrentControlSet\\Services\\Pelmix]'
if [ $leftover -eq 1 ]; then
    wine_do sh -c 'timeout 60 "$WINELOADER" sc create Pelmix type= kernel start= demand \
        binPath= "C:\windows\system32\drivers\Pelmix.sys"; timeout 30 "$WINESERVER" -w' > "$work/sc.txt" 2>&1
    grep -qiF "$registry_key" "$WINEPREFIX/system.reg" ||
        { echo "FAIL: could not leave a Pelmix service behind (see $work/sc.txt)"; exit 1; }
fi

with_stdin wine_do bash "$source_dir/scripts/wine-run.sh" --timeout 300 "$build" "$work/wine" "$work/stage/"* -- \
    pelmixctl.exe --json "$@" > /dev/null
wine_status=$?

failed=0
fail() { echo "FAIL: $*"; failed=1; }

strip_timing() {
    tr -d '\r' < "$1" | sed -e 's/,"elapsed_us":[0-9]*//g' -e 's/,"held_us":[0-9]*//g' \
        -e 's/pelmixctl --machine machine.machine /pelmixctl /g'
}
strip_timing "$work/native/stdout.txt" > "$work/native.json"
strip_timing "$work/wine/stdout.txt" > "$work/wine.json"
if ! cmp -s "$work/native.json" "$work/wine.json"; then
    fail "the JSON lines differ"
    diff "$work/native.json" "$work/wine.json" | head -20
fi
if [ $quiet -eq 1 ]; then
    [ -s "$work/native.json" ] && fail "the native run printed on standard output: $(head -1 "$work/native.json")"
    [ -s "$work/wine.json" ] && fail "the Wine run printed on standard output: $(head -1 "$work/wine.json")"
else
    [ -s "$work/native.json" ] || fail "the native run printed nothing"
fi
for run in native wine; do
    tr -d '\r' < "$work/$run/stderr.txt" > "$work/$run.err"
    for text in "${stderr_has[@]}"; do
        grep -qF -- "$text" "$work/$run.err" || fail "the $run run's standard error lacks \"$text\": $(head -c 600 "$work/$run.err")"
    done
    for text in "${stderr_lacks[@]}"; do
        grep -qF -- "$text" "$work/$run.err" && fail "the $run run's standard error holds \"$text\""
    done
done
[ $native_status -eq $wine_status ] || fail "exit codes differ: native $native_status, Wine $wine_status"
[ -z "$want_exit" ] || [ "$native_status" = "$want_exit" ] || fail "exit code $native_status, not $want_exit"

# Every file the native run holds beside its logs: chip images and files read.
for path in "$work/native/"*; do
    file=$(basename "$path")
    case $file in stdout.txt|stderr.txt|machine.machine) continue ;; esac
    if [ ! -f "$work/wine/$file" ]; then
        fail "the Wine run left no $file"
    elif ! cmp -s "$path" "$work/wine/$file"; then
        fail "$file differs"
    fi
done
for pair in "${sames[@]}"; do
    cmp -s "$work/wine/${pair%%=*}" "$work/wine/${pair#*=}" || fail "${pair%%=*} and ${pair#*=} differ"
done
# Three bytes in a row of the stale pattern (byte i is 0xC5 + 0x3B * i, as
# emu/stale_pool.h makes it) past a request's input: stale memory came back.
find_stale_replies() {
    LC_ALL=C awk -v inputs="$stale_inputs" '
        BEGIN { n = split(inputs, input, " "); hex = "0123456789abcdef" }
        {
            line = NR
            if (!match($0, /"reply":"[0-9a-f]*"/)) { print "line " line ": no reply"; next }
            reply = substr($0, RSTART + 9, RLENGTH - 10)
            run = 0
            for (i = input[line]; i < length(reply) / 2; i++) {
                byte = (index(hex, substr(reply, 2 * i + 1, 1)) - 1) * 16 + index(hex, substr(reply, 2 * i + 2, 1)) - 1
                run = (byte == (197 + 59 * i) % 256) ? run + 1 : 0
                if (run == 3) { print "line " line ": stale bytes from offset " i - 2; break }
            }
        }' "$1"
}
if [ -n "$stale_inputs" ]; then
    stale=$(find_stale_replies "$work/wine.json")
    [ -z "$stale" ] || fail "replies under Wine carry stale memory: $stale"
fi

if [ -f "$work/wine/Pelmix.error.txt" ]; then
    fail "the driver reported: $(cat "$work/wine/Pelmix.error.txt")"
fi

if grep -qiF "$registry_key" "$WINEPREFIX/system.reg"; then
    fail "a Pelmix service remains after the run"
    wine_do sh -c 'timeout 60 "$WINELOADER" sc delete Pelmix; timeout 30 "$WINESERVER" -w' > /dev/null 2>&1
fi

if [ $failed -eq 0 ]; then
    echo "OK: $name, $(wc -l < "$work/native.json") requests alike"
    rm -rf "$work"
else
    echo "logs in $work"
fi
exit $failed
