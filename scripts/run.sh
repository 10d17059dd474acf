#!/usr/bin/env bash
# Sets up and builds Tokiren, then opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
exec ./build/bin/tokiren
