#!/usr/bin/env bash
# Runs a driver under the model NT kernel and checks that the run ends clean
# (exit code 0, no bugcheck line) and, unless TEXT is "-", that standard
# error holds TEXT; with --statuses, that the replies' Status words are
# STATUSES (space-separated, one per request, in order).
#
#   expect_clean_run.sh MODEL DRIVER MACHINE TEXT [--statuses "S..."] [MODEL_OPTION...] -- COMMAND...
set -uo pipefail
model=$1 driver=$2 machine=$3 text=$4
shift 4
statuses=
if [ "${1:-}" = --statuses ]; then
    statuses=$2
    shift 2
fi
options=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    options+=("$1")
    shift
done
[ "${1:-}" = -- ] || { echo "missing -- before the commands" >&2; exit 2; }
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$machine" "$work/machine.machine"
for image in $(grep -o 'image=[^ ]*' "$machine" | cut -d= -f2); do
    head -c 131072 /dev/zero | tr '\0' '\377' > "$work/$image"
done
(cd "$work" && timeout 240 "$model" "${options[@]}" --json "$driver" machine.machine "$@" > stdout.txt 2> stderr.txt)
status=$?
cat "$work/stdout.txt" "$work/stderr.txt" | cut -c1-300
[ $status -eq 0 ] || { echo "FAIL: exit code $status, not 0"; exit 1; }
! grep -q BUGCHECK "$work/stdout.txt" || { echo "FAIL: a bugcheck"; exit 1; }
if [ "$text" != - ]; then
    grep -qF "$text" "$work/stderr.txt" || { echo "FAIL: standard error does not say \"$text\""; exit 1; }
fi
if [ -n "$statuses" ]; then
    replied=$(grep -o '"Status":[0-9]*' "$work/stdout.txt" | cut -d: -f2 | tr '\n' ' ' | sed 's/ $//')
    [ "$replied" = "$statuses" ] || { echo "FAIL: the replies' statuses are \"$replied\", not \"$statuses\""; exit 1; }
fi
echo "OK: a clean run"
