#!/usr/bin/env bash
# Installs what the benchmark needs beyond the build (ExifTool, the peer; gnuplot for the plot;
# GNU time for peak memory), then sets up and builds the project.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-packages.sh libimage-exiftool-perl gnuplot-nox time
./scripts/setup.sh
