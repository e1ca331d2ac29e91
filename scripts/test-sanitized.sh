#!/usr/bin/env bash
# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPELMIX_SANITIZE=ON -DPELMIX_WINDOWS=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
(cd build-asan && ctest --output-on-failure -j2)
if [ -x scripts/run-fuzzers.sh ]; then
  scripts/run-fuzzers.sh
fi
