#!/usr/bin/env bash
# Checks that every C and C++ file of the tree is laid out as .clang-format
# says. Prints the files that are not; `clang-format -i FILE` lays one out.
# Exit 77 when clang-format is not installed (scripts/setup.sh installs it).
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
exit $bad
