#!/usr/bin/env bash
# Makes the package for Debian users, build/tokiren_<version>_amd64.deb, from the Linux build
# (scripts/setup.sh configures it), and checks it: what it installs, that it names the libraries the
# programs need, and that tokiren-cli unpacked from it runs and finds its capture-time helper.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
jobs="${TOKIREN_JOBS:-2}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j "$jobs"
(cd "$build" && cpack > /dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/tokiren_${version}_amd64.deb"
fail() { echo "Debian package: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "cpack made no $deb"

expected=(./usr/bin/tokiren ./usr/bin/tokiren-cli ./usr/bin/tokiren-media-helper
          ./usr/share/applications/tokiren.desktop ./usr/share/icons/hicolor/scalable/apps/tokiren.svg)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/tokiren.png")
done
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$listed" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
  fail "$deb holds ${listed//$'\n'/, }; expected ${expected[*]}"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 qt6-qpa-plugins libexiv2; do
  grep -q "$library" <<< "$depends" || fail "$deb does not depend on $library: $depends"
done

# Unpacked, with a home of its own: a --taken dry run reads through the helper beside it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/photos" && touch "$work/photos/a.jpg"
HOME="$work" "$work/root/usr/bin/tokiren-cli" run "$work/photos" --ext jpg --taken --dry-run \
  > "$work/out" 2> "$work/err" || fail "the unpacked tokiren-cli failed: $(cat "$work/err")"
grep -q "a.jpg as " "$work/out" || fail "the unpacked tokiren-cli planned nothing: $(cat "$work/out")"
echo "Debian package: $deb ($(stat -c %s "$deb") bytes), depends on: $depends"
