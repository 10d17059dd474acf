#!/usr/bin/env bash
# Sets up and builds Tokiren, then runs every test: on Linux, then the Debian package (made,
# installed, run and removed), then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cd build
ctest --output-on-failure -j "$(nproc)"
cd ..
./scripts/build-debian.sh
./scripts/build-windows.sh
