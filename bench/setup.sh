#!/usr/bin/env bash
# Installs what the benchmark needs beyond the build (ExifTool, the peer; gnuplot for the plot;
# GNU time for peak memory), then sets up and builds the project.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for package in libimage-exiftool-perl gnuplot-nox time; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
./scripts/setup.sh
