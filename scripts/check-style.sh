#!/usr/bin/env bash
# Checks that every C and C++ file of the tree is laid out as .clang-format
# says (`clang-format -i FILE` lays one out) and names its constants and
# enumerators in PascalCase. Prints what is not so. Exit 77 when clang-format
# is not installed (scripts/setup.sh installs it).
set -uo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 77; }

bad=0
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not laid out as .clang-format says: $file"
    bad=1
  fi
done < <(find app sys emu include tools tests fuzz \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)
# Constants and enumerators are PascalCase: no kName, and UPPER_SNAKE_CASE
# only for macros.
names=$(find app sys emu include tools tests fuzz \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z |
  xargs -0 awk '
    FNR == 1 { inEnum = 0 }
    # Without its strings and comment: "enum, ..." in a table of cases opens no enum.
    { line = $0; gsub(/"([^"\\]|\\.)*"/, "\"\"", line); sub(/\/\/.*/, "", line) }
    line ~ /(^|[^A-Za-z0-9_])enum([^A-Za-z0-9_]|$)/ && line ~ /\{/ { inEnum = 1; line = substr(line, index(line, "{") + 1) }
    inEnum {
      body = line; closes = index(body, "}")
      if (closes) body = substr(body, 1, closes - 1)
      n = split(body, items, ",")
      for (i = 1; i <= n; i++)
        if (items[i] ~ /^[ \t]*[A-Z][A-Z0-9]*_[A-Z0-9_]*[ \t]*(=|$)/) { print FILENAME ":" FNR ": enumerator in UPPER_SNAKE_CASE"; break }
      if (closes) inEnum = 0
      next
    }
    line ~ /(^|[^A-Za-z0-9_])(const|constexpr)[ \t]([^;=(]*[^A-Za-z0-9_])?k[A-Z][A-Za-z0-9]*[ \t]*(\[[^]]*\])?[ \t]*=/ {
      print FILENAME ":" FNR ": constant named kName"; next }
    line ~ /^[ \t]*(static[ \t]+)?(inline[ \t]+)?(const|constexpr)[ \t]([^;=(]*[^A-Za-z0-9_])?[A-Z][A-Z0-9]*_[A-Z0-9_]+[ \t]*(\[[^]]*\])?[ \t]*=/ {
      print FILENAME ":" FNR ": constant in UPPER_SNAKE_CASE" }
  ')
if [ -n "$names" ]; then
  echo "$names"
  echo "constants and enumerators are PascalCase; UPPER_SNAKE_CASE is for macros"
  bad=1
fi
exit $bad
