#!/usr/bin/env bash
# Runs the same pelmixctl request commands twice on one machine file:
# natively on the emulated machine (pelmixctl --machine) and through the
# model NT kernel running a driver image (the shipped Pelmix.sys). Both must
# print the same JSON lines, virtual times included, and leave byte-identical
# files; the model must end with exit code 0 (no rule broken, the driver
# unloaded).
#
#   compare_with_native.sh --native PELMIXCTL --model NTMODEL --driver PELMIX.SYS --work DIR
#       --machine FILE [--nt V] [--cpus N] [--busy-priority P] [--linger-ms MS] [--suspend-caller]
#       [--caller-affinity MASK] [--affinity-change MASK] [--file NAME:SIZE:SEED]... -- COMMAND...
#
# --file makes an input file (a chip image named by the machine file, or an
# image to write) of SIZE bytes whose content SEED determines.
set -uo pipefail

native= model= driver= work= machine=
model_options=() files=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    case $1 in
        --native) native=$2; shift ;;
        --model) model=$2; shift ;;
        --driver) driver=$2; shift ;;
        --work) work=$2; shift ;;
        --machine) machine=$2; shift ;;
        --nt) model_options+=(--nt "$2"); shift ;;
        --cpus) model_options+=(--cpus "$2"); shift ;;
        --busy-priority) model_options+=(--busy-priority "$2"); shift ;;
        --linger-ms) model_options+=(--linger-ms "$2"); shift ;;
        --suspend-caller) model_options+=(--suspend-caller) ;;
        --caller-affinity) model_options+=(--caller-affinity "$2"); shift ;;
        --affinity-change) model_options+=(--affinity-change "$2"); shift ;;
        --file) files+=("$2"); shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
[ "${1:-}" = -- ] || { echo "missing -- before the commands" >&2; exit 2; }
shift

rm -rf "$work"
mkdir -p "$work/input" "$work/native" "$work/model"
# Byte i of file SEED is (i * 7 + i / 256 + SEED) mod 256.
for recipe in "${files[@]}"; do
    IFS=: read -r file size seed <<< "$recipe"
    LC_ALL=C awk -v size="$size" -v seed="$seed" \
        'BEGIN { for (i = 0; i < size; i++) printf "%c", (i * 7 + int(i / 256) + seed) % 256 }' > "$work/input/$file"
done
for side in native model; do
    cp "$machine" "$work/$side/machine.machine"
    cp "$work/input/"* "$work/$side/" 2>/dev/null
done

(cd "$work/native" && "$native" --machine machine.machine --json "$@" > stdout.txt 2> stderr.txt)
(cd "$work/model" && "$model" "${model_options[@]}" --json "$driver" machine.machine "$@" > stdout.txt 2> stderr.txt)
model_status=$?

failed=0
fail() { echo "FAIL: $*"; failed=1; }
grep -h BUGCHECK "$work/model/stdout.txt" && fail "the model stopped the driver"
[ $model_status -eq 0 ] || fail "the model exits with $model_status: $(tail -1 "$work/model/stdout.txt")"
if ! cmp -s "$work/native/stdout.txt" "$work/model/stdout.txt"; then
    fail "the JSON lines differ"
    diff "$work/native/stdout.txt" "$work/model/stdout.txt" | cut -c1-300 | head -10
fi
[ -s "$work/native/stdout.txt" ] || fail "the native run printed nothing"
for path in "$work/native/"*; do
    file=$(basename "$path")
    case $file in stdout.txt|stderr.txt|machine.machine) continue ;; esac
    if [ ! -f "$work/model/$file" ]; then
        fail "the model run left no $file"
    elif ! cmp -s "$path" "$work/model/$file"; then
        fail "$file differs"
    fi
done
if [ $failed -eq 0 ]; then
    echo "OK: $(wc -l < "$work/native/stdout.txt") requests alike"
    rm -rf "$work"
else
    echo "logs in $work"
fi
exit $failed
