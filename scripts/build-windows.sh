#!/usr/bin/env bash
# Cross-builds tokiren.exe (the native window), tokiren-cli.exe and tokiren-media-helper.exe (the
# capture-time reader, over exiv2, libheif and libavformat cross-built from Debian's source
# packages by scripts/build-windows-libs.sh, kept in ~/.cache/tokiren/) for 64-bit Windows with
# mingw-w64 into build-win/, checks that they need no DLL beyond Windows' own, and runs the
# Windows tests under Wine through CTest, in a virtual display with Japanese fonts; then makes the package for Windows users,
# build-win/tokiren-<version>-win64.zip, and checks what it holds, and the installer,
# build-win/tokiren-<version>-win64-setup.exe, and checks it under Wine: install, install over it,
# install while a program is in use (which must fail), uninstall. Installs what is missing first
# (as root, or with sudo). Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake make
  g++-mingw-w64-x86-64-posix  # the cross compiler, POSIX thread model
  wine wine64                 # runs the tests
  xvfb xauth                  # the virtual display the tests run in (xvfb-run needs xauth)
  fonts-ipafont-gothic        # Japanese text in windows under Wine (see wine-fonts.reg below)
  googletest                  # the sources GoogleTest is built from for Windows
  locales                     # the Japanese locale below
  unzip                       # checks the package's contents
  nsis                        # makensis: the installer for Windows users
  # The media tests' photos and videos, made on this machine by the tools the Linux tests use.
  imagemagick exiv2 libheif-examples ffmpeg libimage-exiftool-perl
)

./scripts/install-packages.sh "${packages[@]}"

# Wine takes the ANSI code page from the locale: the cases on files of older programs run in the
# Japanese one (code page 932), which must exist for Wine to keep UTF-8 file names.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "Generating the ja_JP.UTF-8 locale"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

build=build-win
jobs="${TOKIREN_JOBS:-2}"
# The metadata libraries, built once per pinned version (minutes when the cache is cold).
media_prefixes=$(./scripts/build-windows-libs.sh | tail -n 1)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTOKIREN_BUILD_UI=ON \
  -DTOKIREN_GTEST_SOURCE=/usr/src/googletest -DTOKIREN_MEDIA_PREFIXES="$media_prefixes" > /dev/null
cmake --build "$build" -j "$jobs"

# The programs must run on a bare Windows: only the system's own DLLs (bcrypt: libavutil's random
# seeds; psapi and ws2_32: exiv2's), whatever the case of their names.
allowed='^(kernel32|user32|gdi32|shell32|advapi32|comctl32|ole32|msvcrt|bcrypt|psapi|ws2_32|api-ms-win-crt-.*)\.dll$'
for program in tokiren-cli.exe tokiren.exe tokiren-media-helper.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$build/bin/$program" | sed -n 's/^\s*DLL Name: //p')
  echo "$program imports: $(echo $dlls)"
  for dll in $dlls; do
    if ! [[ "${dll,,}" =~ $allowed ]]; then
      echo "$program needs $dll, which Windows does not bring" >&2
      exit 1
    fi
  done
done

# A Wine prefix of the build's own.
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts

# Wine brings no Japanese font: the names Japanese Windows draws its windows and message boxes
# with are given to the IPA Gothic fonts (Wine's own replacements: each name then lists as a font
# of its own, and Tahoma, which draws Latin, stays as it is). Importing them again changes
# nothing. A .reg file must be UTF-16 for names outside ASCII.
fonts="$build/wine-fonts.reg"
iconv -f UTF-8 -t UTF-16 > "$fonts" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"

REG

# --no-tests: built and checked, the prefix's fonts ready; no tests and no package
# (scripts/screenshots.sh).
[ "${1:-}" != "--no-tests" ] || exit 0

# Everything Wine starts lives in one virtual display, for the tests that open windows: the prefix
# is started, given its fonts and tested there, and the wineserver with every program it started
# has ended before the display goes, on failure too. A wineserver of this prefix left from before
# is ended first, so none runs on another display.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  build=$1 fonts=$2
  wineserver -k 2> /dev/null || true
  wineserver -w
  trap "wineserver -k 2> /dev/null || true; wineserver -w" EXIT
  wineboot --init > /dev/null 2>&1
  wine reg import "$fonts"
  ctest --test-dir "$build" --output-on-failure
  wineserver -w
' wine-tests "$build" "$fonts"

# The zip for Windows users: one top folder holding the executables and README.txt, nothing else.
cmake --build "$build" --target package > /dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
top="tokiren-$version-win64"
expected=("$top/README.txt" "$top/tokiren-cli.exe" "$top/tokiren-media-helper.exe")
expected+=("$top/tokiren.exe")
listed=$(unzip -Z1 "$build/$top.zip" | sort)
if [ "$listed" != "$(printf '%s\n' "${expected[@]}" | sort)" ]; then
  echo "$build/$top.zip holds ${listed//$'\n'/, }; expected ${expected[*]}" >&2
  exit 1
fi
echo "Package: $build/$top.zip: ${listed//$'\n'/, }"

# The installer for Windows users, checked under Wine in a throwaway prefix of its own: a silent
# install for the current user into %LOCALAPPDATA%\Programs\Tokiren with its uninstall entry and
# Start menu shortcut; an install over it, which replaces the programs and keeps the log and the
# settings; a silent uninstall, which removes what was installed and keeps them too. Nothing in it
# shows a window, so no display. No wineserver of that prefix outlives the check.
cmake --build "$build" --target installer > /dev/null
setup="$build/$top-setup.exe"
[ -f "$setup" ] || { echo "The installer target made no $setup" >&2; exit 1; }
(
  export WINEPREFIX="$PWD/$build/installer-prefix"
  # winemenubuilder would copy the Start menu shortcut into this machine's own menu.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
  fail() { echo "Installer check: $*" >&2; exit 1; }
  # Each Wine program gets a minute at most: a silent installer that waits for an answer fails.
  run() { timeout 60 wine "$@"; }
  windows_env() { run cmd /c echo "%$1%" | tr -d '\r'; }
  key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tokiren'
  reg_value() {
    run reg query "$key" /v "$1" 2> /dev/null | tr -d '\r' | sed -n "s/^ *$1 \+REG_[A-Z_]\+ \+//p"
  }

  wineserver -k 2> /dev/null || true
  wineserver -w
  rm -rf "$WINEPREFIX"
  trap 'wineserver -k 2> /dev/null || true; wineserver -w' EXIT
  wineboot --init > /dev/null 2>&1 || fail "wineboot could not make $WINEPREFIX"

  localappdata=$(windows_env LOCALAPPDATA)
  appdata=$(windows_env APPDATA)
  [ -n "$localappdata" ] && [ -n "$appdata" ] ||
    fail "the prefix has no %LOCALAPPDATA% or %APPDATA%"
  win_dir="$localappdata\\Programs\\Tokiren"
  dir=$(winepath -u "$win_dir") || fail "winepath knows no $win_dir"
  dir=${dir%/}
  menu=$(winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs") ||
    fail "winepath knows no Start menu"
  shortcut="${menu%/}/Tokiren.lnk"
  staged="$build/packaging/installer-files"
  installed=(tokiren.exe tokiren-cli.exe tokiren-media-helper.exe README.txt)

  check_installed() {
    for file in "${installed[@]}"; do
      cmp -s "$staged/$file" "$dir/$file" ||
        fail "$1: $win_dir\\$file is missing or not the built one"
    done
    [ -f "$dir/Uninstall.exe" ] || fail "$1: no $win_dir\\Uninstall.exe"
    [ -f "$shortcut" ] || fail "$1: no Start menu shortcut $shortcut"
    [ "$(reg_value DisplayName)" = Tokiren ] || fail "$1: no uninstall entry $key"
    [ "$(reg_value DisplayVersion)" = "$version" ] || fail "$1: $key has no DisplayVersion $version"
    [ "$(reg_value UninstallString)" = "\"$win_dir\\Uninstall.exe\"" ] ||
      fail "$1: $key has UninstallString '$(reg_value UninstallString)'"
  }

  run "$setup" /S || fail "the silent install failed (exit status $?)"
  check_installed "after the install"
  help=$(run "$dir/tokiren-cli.exe" --help) || fail "the installed tokiren-cli.exe --help failed"
  grep -q 'tokiren-cli run' <<< "$help" ||
    fail "the installed tokiren-cli.exe --help printed: $help"

  # The way back of a user's runs: a log and both settings files beside the programs.
  kept="$build/installer-kept"
  rm -rf "$kept" && mkdir -p "$kept"
  printf 'a run of an older version\r\n' > "$kept/tokiren_log.txt"
  printf 'jpg\r\n' > "$kept/tokiren"
  printf 'C:\\Photos\r\n' > "$kept/tokirenfolder"
  cp "$kept"/* "$dir/"
  keeps_way_back() {
    for file in tokiren_log.txt tokiren tokirenfolder; do
      cmp -s "$kept/$file" "$dir/$file" || fail "$1 changed or removed $win_dir\\$file"
    done
  }

  printf 'an older version\r\n' > "$dir/tokiren.exe"
  run "$setup" /S || fail "the install over an older one failed (exit status $?)"
  check_installed "after the install over an older one"
  keeps_way_back "the install over an older one"

  # An install while a program is in use (held open, as a running program holds its executable)
  # copies nothing and fails, saying why in %TEMP%\tokiren-setup.log; once it is closed, the
  # install goes through.
  temp=$(winepath -u "$(windows_env TEMP)") || fail "winepath knows no %TEMP%"
  setup_log="${temp%/}/tokiren-setup.log"
  rm -f "$setup_log"
  printf 'an older version\r\n' > "$dir/tokiren.exe"
  held="$build/installer-held"
  wine "$build/bin/tokiren-hold-file.exe" "$win_dir\\tokiren-cli.exe" 120 > "$held" &
  holder=$!
  for _ in $(seq 60); do grep -q held "$held" && break; sleep 0.5; done
  grep -q held "$held" || fail "tokiren-hold-file could not hold $win_dir\\tokiren-cli.exe"
  status=0
  run "$setup" /S || status=$?
  kill "$holder" && wait "$holder" 2> /dev/null || true
  [ "$status" -ne 0 ] || fail "the install while tokiren-cli.exe was in use reported success"
  grep -q "^an older version" "$dir/tokiren.exe" ||
    fail "the install while tokiren-cli.exe was in use copied tokiren.exe all the same"
  iconv -f UTF-16 -t UTF-8 "$setup_log" 2> /dev/null | grep -q 'tokiren-cli\.exe' ||
    fail "the install while tokiren-cli.exe was in use left no line in %TEMP%\\tokiren-setup.log"
  run "$setup" /S || fail "the install once tokiren-cli.exe was closed failed (exit status $?)"
  check_installed "after the install once tokiren-cli.exe was closed"

  # _?= runs the uninstaller where it lies, to its end, instead of from a copy that returns at once;
  # it cannot remove itself then.
  run "$dir/Uninstall.exe" /S "_?=$win_dir" || fail "the silent uninstall failed (exit status $?)"
  for file in "${installed[@]}"; do
    [ ! -e "$dir/$file" ] || fail "the uninstaller left $win_dir\\$file"
  done
  [ ! -e "$shortcut" ] || fail "the uninstaller left the Start menu shortcut"
  ! run reg query "$key" > /dev/null 2>&1 || fail "the uninstaller left $key"
  keeps_way_back "the uninstaller"
  echo "Installer: $setup ($(stat -c %s "$setup") bytes) installs into $win_dir;" \
    "uninstalled where it lies, it leaves $(cd "$dir" && echo $(ls))"
)
