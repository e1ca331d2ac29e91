#!/usr/bin/env bash
# Lists the #include edges between the folders of app/ and fails when they
# form a cycle: each folder may include only from folders below it.
#   scripts/app-layers.sh          check (quiet on success but for a summary)
#   scripts/app-layers.sh --edges  also print each edge with the files behind it
set -euo pipefail
cd "$(dirname "$0")/../app"

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

for file in */*.h */*.cpp */*.c; do
    [ -f "$file" ] || continue
    from=${file%%/*}
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" | while read -r name; do
        holders=$(ls -d */"$name" 2>/dev/null || true)
        [ -n "$holders" ] || continue  # a system, generated or include/ header
        if [ "$(printf '%s\n' "$holders" | wc -l)" -ne 1 ]; then
            echo "app-layers: \"$name\" (included by $file) is in more than one folder:" $holders >&2
            exit 1
        fi
        to=${holders%%/*}
        [ "$to" = "$from" ] || printf '%s %s %s\n' "$from" "$to" "$file -> $name"
    done
done >"$edges"

if [ "${1:-}" = "--edges" ]; then
    sort "$edges"
fi
pairs=$(cut -d' ' -f1,2 "$edges" | sort -u)
if ! printf '%s\n' "$pairs" | tsort >/dev/null 2>&1; then
    echo "app-layers: the include edges between app/ folders form a cycle:" >&2
    printf '%s\n' "$pairs" | tsort 2>&1 >/dev/null | sed 's/^/  /' >&2
    exit 1
fi
echo "app-layers: no cycle; layers from the top:" $(printf '%s\n' "$pairs" | tsort)
