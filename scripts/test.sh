#!/usr/bin/env bash
# Sets up what is missing, builds everything, makes the release packages and
# runs every test: the native and Windows tests through CTest (the package
# checks and the install test among them), then the sanitizer build and the
# fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
scripts/package.sh --no-build
(cd build && ctest --output-on-failure -j2)
scripts/test-sanitized.sh
