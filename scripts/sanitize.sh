#!/usr/bin/env bash
# Builds the platform, engine, settings and command-line tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), together with the fuzz targets, in build-sanitize/, and runs
# them all. Needs what scripts/setup.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOKIREN_SANITIZE=ON -DTOKIREN_FUZZ=ON -DTOKIREN_BUILD_UI=OFF > /dev/null
cmake --build build-sanitize -j "$(nproc)"
cd build-sanitize
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure -j "$(nproc)"
