#!/usr/bin/env bash
# Cross-builds tokiren.exe (the native window) and tokiren-cli.exe for 64-bit Windows with
# mingw-w64 into build-win/, checks that they need no DLL beyond Windows' own, and runs the
# Windows tests under Wine through CTest, in a virtual display with Japanese fonts; then makes the package for Windows users,
# build-win/tokiren-<version>-win64.zip, and checks what it holds. Installs what is missing first
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
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTOKIREN_BUILD_UI=ON \
  -DTOKIREN_GTEST_SOURCE=/usr/src/googletest > /dev/null
cmake --build "$build" -j "$jobs"

# The programs must run on a bare Windows: only the system's own DLLs.
allowed='^(KERNEL32|USER32|GDI32|SHELL32|ADVAPI32|COMCTL32|ole32|msvcrt|api-ms-win-crt-.*)\.dll$'
for program in tokiren-cli.exe tokiren.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$build/bin/$program" | sed -n 's/^\s*DLL Name: //p')
  echo "$program imports: $(echo $dlls)"
  for dll in $dlls; do
    if ! [[ "$dll" =~ $allowed ]]; then
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
expected=("$top/README.txt" "$top/tokiren-cli.exe")
expected+=("$top/tokiren.exe")
listed=$(unzip -Z1 "$build/$top.zip" | sort)
if [ "$listed" != "$(printf '%s\n' "${expected[@]}" | sort)" ]; then
  echo "$build/$top.zip holds ${listed//$'\n'/, }; expected ${expected[*]}" >&2
  exit 1
fi
echo "Package: $build/$top.zip: ${listed//$'\n'/, }"
