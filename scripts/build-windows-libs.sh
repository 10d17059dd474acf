#!/usr/bin/env bash
# Cross-builds the metadata libraries tokiren-media-helper.exe links, for 64-bit Windows, from
# Debian's own source packages: exiv2 (EXIF), libheif without codecs (the Exif block of HEIF and
# AVIF files) and libavformat with libavutil from ffmpeg (QuickTime and MP4 headers, nothing else).
# Each pinned source package is fetched with `apt-get source` (a deb-src entry for the archive and
# suites of this machine's deb entries is added when apt has none), checked against the SHA-256
# sums of its .dsc, unpacked with Debian's patches and built static with the project's toolchain
# file into ~/.cache/tokiren/<package>-<version>/ (TOKIREN_CACHE overrides the folder). A package
# already built there is left alone: a clean clone with the cache warm builds nothing, a new pin
# builds anew. Prints the install prefixes, separated by ";", as its last line on stdout (for
# CMake's TOKIREN_MEDIA_PREFIXES); everything else goes to stderr. Runs as root or with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The pins: Debian's source package and version, as `apt-get source` names them.
exiv2_version=0.27.6-1
# The archive no longer serves 1.15.1-1+deb12u3 (the version of Debian's own binary package here),
# only its Sources index still names it: the point release's version is the one that can be built.
libheif_version=1.15.1-1+deb12u1
ffmpeg_version=7:5.1.9-0+deb12u1

cache="${TOKIREN_CACHE:-$HOME/.cache/tokiren}"
jobs="${TOKIREN_JOBS:-2}"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
host=x86_64-w64-mingw32

log() { echo "build-windows-libs: $*" >&2; }
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# dpkg-dev: dpkg-source, which unpacks a source package with its patches.
./scripts/install-packages.sh cmake make dpkg-dev g++-mingw-w64-x86-64-posix >&2

# A source entry beside each binary entry of the machine's own archive, once.
ensure_sources() {
  apt-cache showsrc exiv2 2> /dev/null | grep -q '^Package:' && return 0
  local list=/etc/apt/sources.list.d/tokiren-deb-src.sources
  log "adding deb-src entries in $list"
  local stanzas=""
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && [ "$file" != "$list" ] || continue
    # Each stanza whose Types are deb alone, again with Types: deb-src.
    stanzas+=$(awk 'BEGIN { RS = ""; ORS = "\n\n" }
                    /(^|\n)Types: *deb *(\n|$)/ { sub(/Types: *deb/, "Types: deb-src"); print }' \
                 "$file")$'\n'
  done
  if [ -f /etc/apt/sources.list ]; then
    # One-line entries, written as deb822 stanzas.
    stanzas+=$(awk '$1 == "deb" && $2 !~ /^\[/ {
                      printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $2, $3
                      for (i = 4; i <= NF; ++i) printf " %s", $i
                      printf "\n\n" }' /etc/apt/sources.list)
  fi
  [ -n "${stanzas//$'\n'/}" ] || { log "no deb entry to take the archive from"; exit 1; }
  printf '%s\n' "$stanzas" | "${sudo[@]}" tee "$list" > /dev/null
  "${sudo[@]}" apt-get update -qq >&2
}

# Fetches source package $1 at version $2 into a fresh folder $3 and checks every file its .dsc
# lists against the SHA-256 sums the .dsc gives, then unpacks it into $3/src.
fetch_source() {
  local package=$1 version=$2 work=$3
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source --download-only -qq "$package=$version" >&2)
  local dsc
  dsc=$(ls "$work"/*.dsc)
  local checked=0 sum size name
  while read -r sum size name; do
    [ -n "$name" ] || continue
    echo "$sum  $work/$name" | sha256sum -c --quiet - >&2 ||
      { log "$name does not match the SHA-256 sum of $(basename "$dsc")"; exit 1; }
    checked=$((checked + 1))
  done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$dsc")
  [ "$checked" -gt 0 ] || { log "$(basename "$dsc") lists no SHA-256 sums"; exit 1; }
  log "$package $version: $checked files match $(basename "$dsc")"
  dpkg-source --no-check -x "$dsc" "$work/src" > /dev/null
}

build_exiv2() {
  local work=$1 prefix=$2
  cmake -S "$work/src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DEXIV2_ENABLE_XMP=OFF -DEXIV2_ENABLE_PNG=OFF \
    -DEXIV2_ENABLE_BMFF=ON -DEXIV2_ENABLE_WIN_UNICODE=ON -DEXIV2_ENABLE_NLS=OFF \
    -DEXIV2_ENABLE_WEBREADY=OFF -DEXIV2_ENABLE_CURL=OFF -DEXIV2_ENABLE_VIDEO=OFF \
    -DEXIV2_BUILD_SAMPLES=OFF -DEXIV2_BUILD_EXIV2_COMMAND=OFF -DEXIV2_BUILD_UNIT_TESTS=OFF \
    -DEXIV2_BUILD_DOC=OFF -DEXIV2_ENABLE_PRINTUCS2=OFF -DEXIV2_ENABLE_LENSDATA=OFF >&2
  cmake --build "$work/build" -j "$jobs" >&2
  cmake --install "$work/build" >&2
}

build_libheif() {
  local work=$1 prefix=$2
  # No codec: only the container is read, for its Exif block.
  cmake -S "$work/src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DWITH_LIBDE265=OFF -DWITH_X265=OFF -DWITH_AOM_DECODER=OFF -DWITH_AOM_ENCODER=OFF \
    -DWITH_DAV1D=OFF -DWITH_RAV1E=OFF -DWITH_SvtEnc=OFF -DWITH_KVAZAAR=OFF \
    -DWITH_JPEG_DECODER=OFF -DWITH_JPEG_ENCODER=OFF -DWITH_OpenJPEG_DECODER=OFF \
    -DWITH_OpenJPEG_ENCODER=OFF -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF \
    -DWITH_GDK_PIXBUF=OFF -DBUILD_TESTING=OFF -DWITH_FUZZERS=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_Doxygen=ON >&2
  cmake --build "$work/build" -j "$jobs" >&2
  cmake --install "$work/build" >&2
}

build_ffmpeg() {
  local work=$1 prefix=$2
  # Only what reading a QuickTime or MP4 header from memory needs: the mov demuxer, no protocol
  # (the helper gives its own reader), no codec, no device, filter, scaler, program or assembler.
  mkdir -p "$work/build"
  (cd "$work/build" && "$work/src/configure" --prefix="$prefix" \
    --enable-cross-compile --target-os=mingw32 --arch=x86_64 --cross-prefix="$host-" \
    --cc="$host-gcc-posix" --cxx="$host-g++-posix" --pkg-config=false \
    --enable-static --disable-shared --disable-programs --disable-doc --disable-debug \
    --disable-everything --enable-demuxer=mov \
    --disable-avdevice --disable-avfilter --disable-swscale --disable-swresample \
    --disable-postproc --disable-network --disable-autodetect --disable-x86asm \
    --disable-iconv --disable-zlib --disable-bzlib --disable-lzma >&2)
  make -C "$work/build" -j "$jobs" >&2
  make -C "$work/build" install >&2
}

prefixes=()
for pin in "exiv2 $exiv2_version" "libheif $libheif_version" "ffmpeg $ffmpeg_version"; do
  read -r package version <<< "$pin"
  # The folder's name keeps the version's epoch out (a ":" would end a CMake path list item on no
  # system, but reads badly): the upstream version and Debian's revision identify the build.
  prefix="$cache/$package-${version#*:}"
  prefixes+=("$prefix")
  if [ -f "$prefix/.built" ]; then
    log "$package $version: built in $prefix"
    continue
  fi
  ensure_sources
  work="$cache/work/$package"
  started=$(date +%s)
  log "$package $version: fetching and building into $prefix"
  fetch_source "$package" "$version" "$work"
  rm -rf "$prefix"
  "build_$package" "$work" "$prefix"
  touch "$prefix/.built"
  rm -rf "$work"
  log "$package $version: built in $(($(date +%s) - started)) s"
done
(IFS=';'; echo "${prefixes[*]}")
