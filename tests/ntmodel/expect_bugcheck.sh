#!/usr/bin/env bash
# Runs a rule driver under the model NT kernel and checks how the run ends:
# with RULE given, one line "BUGCHECK RULE routine=ROUTINE at=IMAGE+0x...: ..."
# and exit code 4 (3 for IMPORT, a refused load); with RULE "none", exit code
# 0 and no bugcheck; with RULE "denied", an open the device's descriptor
# refuses (STATUS_ACCESS_DENIED) and no bugcheck; with RULE "load-failed",
# DriverEntry failing with the status ROUTINE names (exit code 3, no bugcheck).
# With EXPECT_TEXT set in the
# environment, the bugcheck line also holds that text.
#
#   expect_bugcheck.sh MODEL DRIVER MACHINE RULE ROUTINE [MODEL_OPTION...]
set -uo pipefail
model=$1 driver=$2 machine=$3 rule=$4 routine=$5
shift 5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$machine" "$work/machine.machine"
output=$(cd "$work" && timeout 120 "$model" "$@" "$driver" machine.machine enum enum 2>&1)
status=$?
echo "$output"
image=$(basename "$driver")
if [ "$rule" = denied ]; then
    ! echo "$output" | grep -q BUGCHECK || { echo "FAIL: a bugcheck"; exit 1; }
    echo "$output" | grep -qF "the device cannot be opened (status 0xc0000022)" ||
        { echo "FAIL: the open was not refused with STATUS_ACCESS_DENIED"; exit 1; }
    echo "OK: the open is refused"
    exit 0
fi
if [ "$rule" = load-failed ]; then
    [ $status -eq 3 ] || { echo "FAIL: exit code $status, not 3"; exit 1; }
    ! echo "$output" | grep -q BUGCHECK || { echo "FAIL: a bugcheck"; exit 1; }
    echo "$output" | grep -qF "LOAD FAILED: DriverEntry returned $routine" ||
        { echo "FAIL: DriverEntry did not fail with $routine"; exit 1; }
    echo "OK: DriverEntry failed with $routine"
    exit 0
fi
if [ "$rule" = none ]; then
    [ $status -eq 0 ] || { echo "FAIL: exit code $status, not 0"; exit 1; }
    ! echo "$output" | grep -q BUGCHECK || { echo "FAIL: a bugcheck"; exit 1; }
    echo "OK: no rule broken"
    exit 0
fi
want=4
[ "$rule" = IMPORT ] && want=3
[ $status -eq $want ] || { echo "FAIL: exit code $status, not $want"; exit 1; }
[ "$(echo "$output" | grep -c '^BUGCHECK')" -eq 1 ] || { echo "FAIL: not exactly one BUGCHECK line"; exit 1; }
echo "$output" | grep -qE "^BUGCHECK $rule routine=$routine at=$image\\+0x[0-9a-f]+: ." ||
    { echo "FAIL: no 'BUGCHECK $rule routine=$routine at=$image+0x...' line"; exit 1; }
if [ -n "${EXPECT_TEXT:-}" ]; then
    echo "$output" | grep '^BUGCHECK' | grep -qF "$EXPECT_TEXT" ||
        { echo "FAIL: the BUGCHECK line does not say '$EXPECT_TEXT'"; exit 1; }
fi
echo "OK: stopped by $rule"
