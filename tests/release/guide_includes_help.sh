#!/usr/bin/env bash
# The guide built as scripts/package.sh builds it holds pelmixctl's --help
# output whole, line for line, in guide.txt and guide.html.
#   guide_includes_help.sh SOURCE_DIR GUIDEGEN PELMIXCTL SAMPLE WORK_DIR
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: guide_includes_help.sh SOURCE_DIR GUIDEGEN PELMIXCTL SAMPLE WORK_DIR" >&2; exit 2; }
source_dir=$1 guidegen=$2 pelmixctl=$3 sample=$4 work=$5
rm -rf "$work"
mkdir -p "$work/out"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

"$pelmixctl" --help >"$work/help.txt" || fail "pelmixctl --help exited with $?"
grep -q '^Exit code of these commands' "$work/help.txt" || fail "the help names no exit codes"
"$guidegen" build "$source_dir/docs/guide/guide.txt" "$source_dir/app/res/texts.txt" "$sample" 0.0 "$work/out" \
    --include pelmixctl-help="$work/help.txt" >"$work/guidegen.txt" 2>&1 ||
    fail "guidegen failed: $(cat "$work/guidegen.txt")"
# Every line of the help, indented as a code block, in one run of lines.
sed 's/^/    /; s/ *$//' "$work/help.txt" >"$work/want.txt"
sed 's/ *$//' "$work/out/guide.txt" >"$work/got.txt"
lines=$(wc -l <"$work/want.txt")
first=$(head -1 "$work/want.txt")
at=$(grep -nxF -- "$first" "$work/got.txt" | head -1 | cut -d: -f1)
if [ -z "$at" ]; then
    fail "guide.txt does not show the help"
else
    sed -n "${at},$((at + lines - 1))p" "$work/got.txt" | cmp -s - "$work/want.txt" ||
        fail "guide.txt shows the help otherwise: $(sed -n "${at},$((at + lines - 1))p" "$work/got.txt" | diff - "$work/want.txt" | head -5)"
fi
grep -qF "<pre>usage: pelmixctl [--machine FILE] [--json] backup T FILE [--force]" "$work/out/guide.html" ||
    fail "guide.html does not show the help"
grep -qF "@include" "$work/out/guide.txt" && fail "an @include line is left in guide.txt"
# A name with no file is an error, not an empty section.
"$guidegen" build "$source_dir/docs/guide/guide.txt" "$source_dir/app/res/texts.txt" "$sample" 0.0 "$work/out" \
    >"$work/missing.txt" 2>&1 && fail "guidegen built the guide without the help"
grep -q 'nothing to include for pelmixctl-help' "$work/missing.txt" || fail "no message for the missing help"
[ $failed -eq 0 ] && { echo "OK: the guide shows pelmixctl's help ($lines lines)"; rm -rf "$work"; }
exit $failed
