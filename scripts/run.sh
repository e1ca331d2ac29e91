#!/usr/bin/env bash
# The main job: sets up what is missing, builds, and lists the Orvel cards of
# a sample machine through the driver logic on the emulated machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
machine=${1:-tools/pelmixctl/samples/two-cards.machine}
echo "Cards of the emulated machine $machine:"
build/tools/pelmixctl/pelmixctl --machine "$machine" enum
