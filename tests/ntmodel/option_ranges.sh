#!/usr/bin/env bash
# The model's numeric options refuse a value outside their range, or one
# with trailing characters, with exit 1 and the option's range named; a value
# at either end of a range is taken.
set -u
model=$1 driver=$2 machine=$3
failed=0

refused() {
    local text=$1
    shift
    local err
    err=$("$model" "$@" "$driver" "$machine" enum 2>&1 >/dev/null)
    local code=$?
    if [ "$code" != 1 ] || [[ "$err" != *"$text"* ]]; then
        echo "FAIL: $* gave exit $code, wanted 1 and \"$text\": $err"
        failed=1
    fi
}

taken() {
    "$model" "$@" "$driver" "$machine" enum >/dev/null 2>&1
    local code=$?
    if [ "$code" != 0 ]; then
        echo "FAIL: $* gave exit $code, wanted 0"
        failed=1
    fi
}

refused "--cpus takes 1 to 32" --cpus 0
refused "--cpus takes 1 to 32" --cpus 33
refused "--cpus takes 1 to 32" --cpus 2x
refused "--cpus takes 1 to 32" --cpus ""
refused "--linger-ms takes 0 to 600000" --linger-ms -1
refused "--linger-ms takes 0 to 600000" --linger-ms 600001
refused "--busy-priority takes 1 to 31" --busy-priority 0
refused "--busy-priority takes 1 to 31" --busy-priority 32
refused "--caller-affinity takes" --caller-affinity 0
refused "--affinity-change takes" --affinity-change 0
refused "--affinity-change takes" --affinity-change 0x1z
refused "--affinity-change names a processor" --cpus 2 --affinity-change 0x4
taken --cpus 1
taken --cpus 32
taken --linger-ms 0
taken --busy-priority 31 --cpus 2
taken --cpus 2 --affinity-change 0x3
exit $failed
