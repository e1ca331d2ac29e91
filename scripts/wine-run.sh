#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix in a working folder
# of its own, with a time limit.
#   wine-run.sh [--timeout SECONDS] BUILD_DIR WORK_DIR [FILE...] -- PROGRAM [ARG...]
# WORK_DIR is emptied and the FILEs are copied into it; PROGRAM (a file name
# in WORK_DIR) runs there. Its standard output goes to our standard output and
# to WORK_DIR/stdout.txt, its standard error to WORK_DIR/stderr.txt. The exit
# code is the program's; 124 when the time limit ended it. On failure the
# working folder and its logs stay for inspection. Only this prefix's Wine
# processes are ever stopped.
set -uo pipefail

limit=120
if [ "${1:-}" = --timeout ]; then
    limit=$2
    shift 2
fi
[ $# -ge 4 ] || { echo "usage: wine-run.sh [--timeout S] BUILD_DIR WORK_DIR [FILE...] -- PROGRAM [ARG...]" >&2; exit 2; }
build=$1 work=$2
shift 2

here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$build" || exit 125

rm -rf "$work"
mkdir -p "$work"
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    cp "$1" "$work/" || { echo "wine-run: cannot copy $1" >&2; exit 125; }
    shift
done
[ "${1:-}" = -- ] || { echo "wine-run: missing -- before the program" >&2; exit 2; }
shift
program=$1
shift

cd "$work"
timeout --kill-after=10 "$limit" "$WINELOADER" "$program" "$@" >stdout.txt 2>stderr.txt
status=$?
cat stdout.txt
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    echo "wine-run: $program did not finish within $limit s; logs in $work" >&2
    "$WINESERVER" -k >/dev/null 2>&1
    exit 124
fi
# Let the prefix's services and helpers wind down before the next run.
if ! timeout 30 "$WINESERVER" -w >/dev/null 2>&1; then
    "$WINESERVER" -k >/dev/null 2>&1
fi
[ $status -eq 0 ] || echo "wine-run: $program exited with $status; logs in $work" >&2
exit $status
