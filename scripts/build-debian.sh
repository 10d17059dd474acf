#!/usr/bin/env bash
# Makes the package for Debian users, build/tokiren_<version>_amd64.deb, from the Linux build
# (scripts/setup.sh installs what it needs and configures it), and checks it: what it holds, that it
# depends on the package of every library the programs link, and that tokiren-cli, unpacked from it
# and then installed from it with apt-get, runs and finds its capture-time helper. The installed
# package is removed again, with whatever its install brought in: the machine is left as it was.
# Runs as root, or as a normal user with sudo (for apt-get).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
jobs="${TOKIREN_JOBS:-2}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j "$jobs" --target tokiren tokiren-cli tokiren-media-helper > /dev/null
(cd "$build" && cpack > /dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$PWD/$build/tokiren_${version}_amd64.deb"
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

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
installed_here=
work=$(mktemp -d)
cleanup() {
  [ -z "$installed_here" ] || remove_package
  rm -rf "$work"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$work/root"

# Its dependencies come from the libraries the programs link (dpkg-shlibdeps): the package of each
# library a program needs must be named, and the one Qt loads at run time, its platform plugins.
depends=$(dpkg-deb -f "$deb" Depends)
depended=$(sed 's/ *([^)]*)//g; s/ *[,|] */\n/g' <<< "$depends")
needs() { grep -qxF "$1" <<< "$depended" || fail "$deb does not depend on $1: $depends"; }
needs qt6-qpa-plugins
# Each library a program names (NEEDED), where the loader finds it here, and the package holding
# it, asked of dpkg once. A merged /usr: the loader may name under /lib what dpkg knows under
# /usr/lib, or the other way round, so both are asked.
libraries=$(for program in tokiren tokiren-cli tokiren-media-helper; do
  binary="$work/root/usr/bin/$program"
  needed=" $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | tr '\n' ' ')"
  ldd "$binary" | awk -v needed="$needed" 'index(needed, " " $1 " ") {print $1, $3}'
done | sort -u)
owners=$(dpkg -S $(awk '{sub(/^\/usr/, "", $2); print $2, "/usr" $2}' <<< "$libraries") \
         2> /dev/null || true)
while read -r library path; do
  [ "${path:0:1}" = / ] || fail "the programs need $library, which is not found here"
  owner=$(awk -v short="${path#/usr}" '$1 != "diversion" && ($NF == short || $NF == "/usr" short) {
                                         sub(/:.*/, "", $1); print $1; exit }' <<< "$owners")
  [ -n "$owner" ] || fail "no package holds $path, which the programs need"
  needs "$owner"
done <<< "$libraries"

# tokiren-cli prints its version, and a --taken dry run, in a home of its own, reads through the
# helper beside it.
check_cli() {
  local cli=$1 where=$2 out
  out=$("$cli" --version) || fail "$where tokiren-cli --version failed"
  [ "$out" = "tokiren-cli $version" ] || fail "$where tokiren-cli --version says: $out"
  mkdir -p "$work/photos" && touch "$work/photos/a.jpg"
  env -u XDG_DATA_HOME HOME="$work" "$cli" run "$work/photos" --ext jpg --taken --dry-run \
    > "$work/out" 2> "$work/err" ||
    fail "$where tokiren-cli failed: $(cat "$work/err")"
  grep -q "a.jpg as " "$work/out" ||
    fail "$where tokiren-cli planned nothing: $(cat "$work/out")"
}
check_cli "$work/root/usr/bin/tokiren-cli" "the unpacked"

# Installed as a user installs it: apt-get brings in what it depends on. Then removed, with the
# packages its install brought in that nothing else needs. One such check at a time on a machine
# (checkouts side by side share its packages), and none where tokiren is installed already: the
# check would replace that installation, then take it away.
apt_get() {
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -y -q -o DPkg::Lock::Timeout=600 "$@" \
    >> "$work/apt.log" 2>&1 || fail "apt-get $* failed: $(tail -n 5 "$work/apt.log")"
}
installed_packages() {
  dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" {print $2}' | sort
}
remove_package() {
  installed_here=
  local unneeded left
  brought=$(comm -13 <(echo "$before") <(installed_packages) | awk '$1 !~ /^tokiren(:amd64)?$/')
  apt_get purge tokiren
  [ -n "$brought" ] || return 0
  unneeded=$(apt-get -s autoremove | awk '$1 == "Remv" {print $2}' | sort)
  left=$(comm -12 <(echo "$brought") <(echo "$unneeded"))
  [ -z "$left" ] || apt_get purge $left
  left=$(comm -12 <(echo "$brought") <(installed_packages))
  [ -z "$left" ] || fail "still installed after the check: $left"
}
lock=/tmp/tokiren-debian-package-check.lock
[ -e "$lock" ] || { : > "$lock" && chmod 0644 "$lock"; }
exec 9< "$lock"
flock 9
state=$(dpkg-query -W -f='${db:Status-Abbrev}' tokiren 2> /dev/null || true)
if [ -n "$state" ] && [ "${state:0:2}" != un ]; then
  echo "Debian package: tokiren is installed on this machine (dpkg: $state), so it is not" \
       "installed from $deb and removed; \`apt-get purge tokiren\` lets the check run" >&2
else
  before=$(installed_packages)
  installed_here=yes
  apt_get install --no-install-recommends "$deb"
  cli=$(dpkg-query -L tokiren | grep '/bin/tokiren-cli$') ||
    fail "the package installed no tokiren-cli"
  check_cli "$cli" "the installed"
  remove_package
  [ ! -e "$cli" ] || fail "$cli is left after the package was removed"
  echo "Debian package: installed with apt-get (bringing in: ${brought:-nothing}), ran $cli," \
       "removed"
fi
echo "Debian package: $deb ($(stat -c %s "$deb") bytes), depends on: $depends"
