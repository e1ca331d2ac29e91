#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: the native
# and Windows tests through CTest (the release packages are made there, before
# the package checks and the install test), and beside them the sanitizer
# build with its tests and the fuzzers.
#
# The Wine tests mostly wait for windows and processes, leaving most of the
# processor idle; the sanitizer build, its tests and the fuzzers take that
# time at the lowest priority instead of running after CTest. Their report
# (build/sanitized.log) follows CTest's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

log=build/sanitized.log
# A session of its own, so that an interrupted run stops exactly that group.
setsid -w nice -n 19 scripts/test-sanitized.sh >"$log" 2>&1 &
sanitized=$!
trap 'kill -- -$sanitized 2>/dev/null || true' EXIT

ctest_status=0
(cd build && ctest --output-on-failure -j2) || ctest_status=$?

sanitized_status=0
wait "$sanitized" || sanitized_status=$?
trap - EXIT
echo "== the sanitizer build, its tests and the fuzzers (build/sanitized.log)"
if [ "$sanitized_status" -eq 0 ]; then
    grep -E "tests passed|Total Test time|^== |^Done |no findings" "$log" || true
else
    cat "$log"
fi
[ "$ctest_status" -eq 0 ] && [ "$sanitized_status" -eq 0 ]
