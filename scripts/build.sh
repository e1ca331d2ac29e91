#!/usr/bin/env bash
# Configures and builds everything: the native tools and tests in build/,
# the Windows binaries in build/win.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
