#!/usr/bin/env bash
# The user guide as a page and as a source of facts: guide.html has a
# viewport, pictures scaled to the column, code that wraps and a table of
# contents that links every section; its tables of cards and chips hold every
# row of the driver's own tables; it quotes the message the program shows on
# Windows 95, 98 and Me; and each message's explanation says what
# guide_claims.txt holds the program does.
#   guide_page_test.sh GUIDEGEN REPO SAMPLE WORK_DIR
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: guide_page_test.sh GUIDEGEN REPO SAMPLE WORK_DIR" >&2; exit 2; }
guidegen=$1 repo=$2 sample=$3 work=$4
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work"
mkdir -p "$work"
# The page's shape does not depend on the included help; any text serves.
echo "usage: pelmixctl ..." >"$work/pelmixctl-help.txt"
"$guidegen" build "$repo/docs/guide/guide.txt" "$repo/app/res/texts.txt" "$sample" 0.0 "$work" \
    --include pelmixctl-help="$work/pelmixctl-help.txt" >"$work/guidegen.log" 2>&1 ||
    { cat "$work/guidegen.log"; echo "FAIL: guidegen build"; exit 1; }
html=$work/guide.html

# A phone shows the page at its own width.
grep -q '<meta name="viewport" content="width=device-width, initial-scale=1">' "$html" || fail "no viewport"
grep -q 'img{max-width:100%;height:auto}' "$html" || fail "pictures are not scaled to the column"
grep -q 'pre{[^}]*white-space:pre-wrap' "$html" || fail "code blocks do not wrap"

# Every section heading has an anchor that the contents link.
nav=$(sed -n '/<nav class="contents">/,/<\/nav>/p' "$html")
[ -n "$nav" ] || fail "no table of contents"
sections=$(grep -v '^<h2>Contents</h2>$' "$html" | grep -c '^<h[23][ >]')
anchored=$(grep -c '^<h[23] id="[a-z0-9-]*">' "$html")
[ "$sections" -gt 10 ] && [ "$sections" -eq "$anchored" ] || fail "$anchored of $sections headings have an anchor"
for id in $(grep -o '^<h[23] id="[a-z0-9-]*"' "$html" | sed 's/.*id="//; s/"$//'); do
    grep -q "<a href=\"#$id\">" <<<"$nav" || fail "the contents do not link section $id"
done
[ "$(grep -o '^<h[23] id="[a-z0-9-]*"' "$html" | sort | uniq -d)" = "" ] || fail "two sections share an anchor"

# The cards the driver lists (a family other than 0), as VENDOR:DEVICE.
cards=$(grep -o '{0x[0-9A-Fa-f]\{4\}, 0x[0-9A-Fa-f]\{4\}, *[1-9],' "$repo/include/orvel_cards.h" |
    sed 's/{0x\(....\), 0x\(....\),.*/\1:\2/' | tr a-f A-F)
[ "$(wc -w <<<"$cards")" -ge 4 ] || fail "cannot read the card table: $cards"
for card in $cards; do
    grep -q "<td>$card</td>" "$html" || fail "the guide does not list card $card"
done
# The chips of the driver's table, each name with its code.
chips=$(grep -o '{0x[0-9A-Fa-f]\{4\}, *"[^"]*"' "$repo/sys/flash_chip_table.cpp" | sed 's/{0x\(....\), *"\(.*\)"/\1=\2/')
[ "$(wc -w <<<"$chips")" -ge 4 ] || fail "cannot read the chip table: $chips"
for chip in $chips; do
    grep -q "<td>${chip#*=}</td><td>${chip%=*}</td>" "$html" || fail "the guide does not list chip ${chip#*=} (${chip%=*})"
done

# Windows 95, 98 and Me: the message naming the driver file the program
# looks for there, which the package does not hold.
vxd=$(sed -n 's/^const char VxdFile\[\] = "\(.*\)";$/\1/p' "$repo/app/driver/driver_loading.cpp")
[ -n "$vxd" ] || fail "cannot read the 9x driver's file name"
nodriver=$(sed -n 's/^NoDriver  *[0-9]*  *NoDriver  *"\(.*\)"$/\1/p' "$repo/app/res/texts.txt")
want=$(sed "s/%s/$vxd/; s/\\\\n/<br>/g" <<<"$nodriver")
grep -qF "<blockquote class=\"message\">$want</blockquote>" "$html" || fail "the guide does not quote \"$want\""

# explanation ID: the text after the block of @message lines that holds ID.
explanation() {
    awk -v id="$1" '
        /^@message / { if (seen && !inblock) exit; inblock = 1; split($0, f, /[ |]+/); if (f[2] == id) seen = 1; next }
        /^#/ { if (seen) exit; inblock = 0; next }
        { inblock = 0; if (seen) print }
    ' "$repo/docs/guide/guide.txt" | tr '\n' ' '
}
while read -r id sign phrase; do
    case $id in '#'* | '') continue ;; esac
    text=$(explanation "$id")
    [ -n "$text" ] || { fail "message $id has no explanation"; continue; }
    if [ "$sign" = + ]; then
        grep -qF -- "$phrase" <<<"$text" || fail "the explanation of message $id does not say \"$phrase\": $text"
    else
        grep -qF -- "$phrase" <<<"$text" && fail "the explanation of message $id says \"$phrase\""
    fi
done <"$repo/tests/release/guide_claims.txt"

[ $failed -eq 0 ] && echo "OK: the guide's page and facts"
exit $failed
