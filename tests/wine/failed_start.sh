#!/usr/bin/env bash
# A driver that refuses to load (its machine file is malformed) makes
# pelmixctl.exe fail with a clear message, and the service it installed for
# the run is removed again; the driver names the bad line beside itself.
#   failed_start.sh --source DIR --build DIR --exe PELMIXCTL.EXE --driver PELMIX.SYS
set -uo pipefail
while [ $# -gt 0 ]; do
    case $1 in
        --source) source_dir=$2 ;;
        --build) build=$2 ;;
        --exe) exe=$2 ;;
        --driver) driver=$2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done

work=$build/wine-tests/failed_start
rm -rf "$work"
mkdir -p "$work/stage"
cp "$exe" "$driver" "$work/stage/"
printf 'cpus 2\npci 0:0a.0 id=1E5B\n' > "$work/stage/Pelmix.machine"

"$source_dir/scripts/wine-run.sh" --timeout 120 "$build" "$work/wine" "$work/stage/"* -- \
    pelmixctl.exe --json enum > /dev/null 2>&1
status=$?

failed=0
fail() { echo "FAIL: $*"; failed=1; }
# Not the usage code: a driver that does not start has an exit code of its own.
[ $status -eq 4 ] || fail "pelmixctl.exe exited with $status, not 4"
[ -s "$work/wine/stdout.txt" ] && fail "a request was answered: $(head -1 "$work/wine/stdout.txt")"
grep -q 'cannot start the service "Pelmix" (error [0-9]*); run pelmixctl.exe from a command prompt opened as administrator, from a folder on a local disk' "$work/wine/stderr.txt" ||
    fail "no message about the service start and what to do: $(tr -d '\r' < "$work/wine/stderr.txt" | head -3)"
cp "$work/wine/Pelmix.error.txt" "$work/driver-error.txt" 2>/dev/null

# The user commands stop in the same way, before any card is touched.
"$source_dir/scripts/wine-run.sh" --timeout 120 "$build" "$work/wine" "$work/stage/"* -- \
    pelmixctl.exe backup 0:0a.0 backup.bin > /dev/null 2>&1 < /dev/null
status=$?
[ $status -eq 4 ] || fail "pelmixctl.exe backup exited with $status, not 4"
grep -q '^error: cannot start the service "Pelmix"' "$work/wine/stderr.txt" ||
    fail "backup said nothing about the service start: $(tr -d '\r' < "$work/wine/stderr.txt" | head -3)"
grep -q '^line 2: ' "$work/driver-error.txt" 2>/dev/null ||
    fail "the driver did not name the bad line: $(cat "$work/driver-error.txt" 2>/dev/null)"

. "$source_dir/scripts/wine-env.sh" "$build" || exit 1
if grep -qiF '[System\\CurrentControlSet\\Services\\Pelmix]' "$WINEPREFIX/system.reg"; then
    fail "a Pelmix service remains after the failed start"
    timeout 60 "$WINELOADER" sc delete Pelmix > /dev/null 2>&1
    timeout 30 "$WINESERVER" -w
fi

if [ $failed -eq 0 ]; then
    echo "OK: the failed start was reported and cleaned up"
    rm -rf "$work"
else
    echo "logs in $work"
fi
exit $failed
