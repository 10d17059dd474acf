#!/usr/bin/env bash
# Sets up and builds Tokiren, then runs every test: on Linux, then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cd build
ctest --output-on-failure -j "$(nproc)"
cd ..
./scripts/build-windows.sh
