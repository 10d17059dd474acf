#!/usr/bin/env bash
# Installs the Debian packages named as arguments that are not installed yet, as root or with sudo.
# Another installation may hold the package lock for a while: the install is tried again.
set -euo pipefail

missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -gt 0 ] || exit 0
echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
for attempt in 1 2 3 4 5 6; do
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" && exit 0
  [ "$attempt" -eq 6 ] && exit 1
  sleep 20
done
