#!/usr/bin/env bash
# Sets up and builds Tokiren, then opens its window. Only the programs are built (the window, the
# command line and the media helper the window starts), not the test suites: scripts/test.sh
# builds those.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh tokiren tokiren-cli tokiren-media-helper
exec ./build/bin/tokiren
