#!/usr/bin/env bash
# Installs what building and testing Tokiren needs on Debian/Ubuntu, then configures and builds it
# (Release) in build/: the targets named as arguments (./scripts/setup.sh tokiren tokiren-cli), or
# everything, every test suite included, when none is named. Safe to run again: only missing
# packages are installed. Runs as root, or as a normal user with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config
  qt6-base-dev             # the window (Qt 6 Widgets)
  fonts-ipafont-gothic     # a Japanese font for the tool tips and messages
  googletest libgtest-dev  # the tests
  tzdata                   # time-zone cases in the tests
  xvfb xauth x11-utils xdotool imagemagick openbox  # scripts/screenshots.sh
  strace e2fsprogs xfsprogs util-linux  # the reliability suite: faults, crashes, power cuts
  fuse3 libfuse3-dev       # a case-insensitive file system (the reliability suite's casefold_fs)
                           # and a share simulated by delaying each request (bench/delay-fs)
  exfat-fuse exfatprogs fusefat dosfstools ntfs-3g  # the reliability suite: cards, disks and
  sshfs openssh-server openssh-client                # a share through Debian's FUSE drivers
  clang libclang-rt-dev    # the sanitizer build and the fuzz targets (scripts/sanitize.sh)
  libexiv2-dev             # media/: EXIF of JPEG, TIFF, RAW and CR3 (tokiren-media-helper)
  libheif-dev              # media/: the Exif block of HEIF/AVIF files
  libavformat-dev          # media/: QuickTime/MP4 movie headers and Apple's creation date
  exiv2 libheif-examples ffmpeg libimage-exiftool-perl  # tests/media: making real photos and videos
  time                     # bench/: peak memory (GNU time)
  dpkg-dev file            # scripts/build-debian.sh: CPack finds the package's dependencies
)

./scripts/install-packages.sh "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
if (($#)); then
  cmake --build build -j "$(nproc)" --target "$@"
else
  cmake --build build -j "$(nproc)"
fi
