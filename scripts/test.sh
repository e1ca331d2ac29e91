#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: the native
# and Windows tests through CTest (the release packages are made there, before
# the package checks and the install test), then the sanitizer build and the
# fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j2)
scripts/test-sanitized.sh
