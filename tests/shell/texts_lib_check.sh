#!/usr/bin/env bash
# The scripts' side of the texts: text_fill and text_pattern of texts_lib.sh,
# and every text_<Name> a test script or the main job names is one the build
# made from texts.txt (a wrong name would only show in a Wine run).
#   texts_lib_check.sh USER_TEXTS_SH REPO
set -uo pipefail
texts=$1 repo=$2
. "$repo/tests/wine-common/texts_lib.sh"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
same() { [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"; }

texts_load "$texts" || exit 1
texts_load "$texts.missing" 2>/dev/null && fail "a missing texts file loaded"

# Values go in as they are, in order; %s and %d alike.
same "two values" "$(text_fill 'a %s b %d c\n' 'x&y\1/' 42)" 'a x&y\1/ b 42 c\n'
same "no placeholder" "$(text_fill 'plain %% text')" 'plain %% text'
same "value with a placeholder" "$(text_fill '%s and %s' '%s' z)" '%s and z'
got=$(text_fill 'one %s' a b 2>/dev/null) && fail "a value too many accepted: $got"
got=$(text_fill 'two %s %d' a 2>/dev/null) && fail "a value too few accepted: $got"
[ -n "$(text_fill 'two %s %d' a 2>&1 >/dev/null)" ] || fail "a value too few not told"

# A pattern matches the text with any number, and nothing else.
pattern=$(text_pattern 'Error (code %d). [a|b] *x+? $1 \n^ {2} /.')
grep -qxE -- "$pattern" <<<'Error (code 1058). [a|b] *x+? $1 \n^ {2} /.' || fail "pattern $pattern misses its text"
grep -qxE -- "$pattern" <<<'Error (code ). [a|b] *x+? $1 \n^ {2} /.' && fail "pattern $pattern takes no number"
grep -qxE -- "$pattern" <<<'Error (code 7)X [a|b] *x+? $1 \n^ {2} /.' && fail "pattern $pattern takes any character for ."
grep -qxE -- "$(text_pattern 'at %s!')" <<<'at C:\x y!' || fail "%s takes any text"

# Every text the scripts name exists.
names=$(cd "$repo" && grep -rhoE '\$\{?text_[A-Za-z0-9]+' tests scripts --include='*.sh' | sed 's/^\${\{0,1\}//' | sort -u)
[ -n "$names" ] || fail "no script names a text"
for name in $names; do
    [ -n "${!name+set}" ] || fail "$name is not a text of texts.txt"
done

[ $failed -eq 0 ] && echo "all passed"
exit $failed
