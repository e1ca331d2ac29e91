#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: the native
# and Windows tests through CTest, then the sanitizer build and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j2)
scripts/test-sanitized.sh
