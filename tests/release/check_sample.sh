#!/usr/bin/env bash
# The sample setup.cfg changes nothing as it is, and with every line
# uncommented is read by the program's own reader (cfgcheck) with no unknown
# key, and sets every key the program reads.
#   check_sample.sh SAMPLE CFGCHECK WORK_DIR
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: check_sample.sh SAMPLE CFGCHECK WORK_DIR" >&2; exit 2; }
sample=$1 cfgcheck=$2 work=$3
[ -f "$sample" ] || { echo "FAIL: no sample $sample (the build makes it)"; exit 1; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

mkdir -p "$work"
tr -d '\r' <"$sample" | grep -v -e '^;' -e '^$' | grep -c . >/dev/null && fail "$sample sets something as it is"
sed 's/^;//' "$sample" >"$work/setup.cfg"
"$cfgcheck" "$work/setup.cfg" || fail "$sample names keys the program does not read"
for key in $("$cfgcheck" --keys); do
    grep -q "^;$key=" "$sample" || fail "$sample lacks the key $key"
done
exit $failed
