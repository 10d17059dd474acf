#!/usr/bin/env bash
# Starts the real program in a virtual display (Xvfb, with a window manager for the frame), shows
# each panel and saves a picture of each to build/screenshots/: the start panel with a tool tip
# open, the options panel, the folder picker and the running panel with a long folder. Then the
# same four of the Windows window (tokiren.exe under Wine), as windows-*.png.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
out="$PWD/build/screenshots"
mkdir -p "$out"

# Settings and a log of its own (the data folder beside a program called tokiren), so the pictures
# never touch the user's.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_DATA_HOME/tokiren"
printf '.JPG\r\n.PNG\r\n.MOV\r\n' > "$XDG_DATA_HOME/tokiren/tokiren"
folder="$work/photos from the summer holidays/2016 the long trip along the coast/day three"
mkdir -p "$folder"
printf '%s/\r\n' "$folder" > "$XDG_DATA_HOME/tokiren/tokirenfolder"

cat > "$work/drive.sh" <<'DRIVE'
set -euo pipefail
work=$1 out=$2 program_file=$3
openbox > /dev/null 2>&1 &
sleep 1
"$program_file" > "$work/program.log" 2>&1 &
program=$!
window=$(xdotool search --sync --name '^Change Tokiren Ver 3.0$' | head -n 1)
sleep 1
# X, Y: where the client area starts on the screen, inside the window manager's frame.
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
frame() { import -window root -crop 560x170+$((X - 100))+$((Y - 45)) +repage "$out/$1"; }
click() { xdotool mousemove $((X + $1)) $((Y + $2)); sleep 0.5; xdotool click 1; sleep 0.7; }

xdotool mousemove $((X + 255)) $((Y + 15))  # over the folder button: its tool tip
sleep 2.5
frame 1-start-panel-tooltip.png
click 194 40  # Options
xdotool mousemove $((X + 5)) $((Y + 65))
sleep 0.5
frame 2-options-panel.png
click 388 34  # set
click 17 10   # check ".*"
click 255 15  # the folder button: the picker opens at the kept folder
picker=$(timeout 10 xdotool search --sync --name '^Select Folder$' | head -n 1)
sleep 1
import -window "$picker" "$out/3-folder-picker.png"
xdotool windowfocus --sync "$picker" key Return
sleep 1
xdotool mousemove $((X + 5)) $((Y + 65))
sleep 0.5
frame 4-running-panel.png
kill "$program"
DRIVE

xvfb-run -a -s "-screen 0 800x500x24 -dpi 96" bash "$work/drive.sh" "$work" "$out" "$PWD/build/bin/tokiren"

# The Windows window: tokiren.exe copied beside settings of its own (it keeps them in its folder),
# in the Japanese locale of its users, in a Wine prefix of its own with the Japanese fonts.
./scripts/build-windows.sh --no-tests
program="$work/windows/tokiren.exe"
mkdir -p "$work/windows"
cp build-win/bin/tokiren.exe "$program"
printf '.JPG\r\n.PNG\r\n.MOV\r\n' > "$work/windows/tokiren"
printf 'Z:%s\\\r\n' "${folder//\//\\}" > "$work/windows/tokirenfolder"
cat > "$work/drive-windows.sh" <<'DRIVE'
set -euo pipefail
work=$1 out=$2 program_file=$3 fonts=$4
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8
trap 'wineserver -k 2> /dev/null || true; wineserver -w' EXIT
wineboot --init > /dev/null 2>&1
wine reg import "$fonts" > /dev/null 2>&1
openbox > /dev/null 2>&1 &
sleep 1
wine "$program_file" > "$work/program-windows.log" 2>&1 &
window=$(xdotool search --sync --name '^Change Tokiren Ver 3.0$' | head -n 1)
sleep 2
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
frame() { import -window root -crop 560x170+$((X - 100))+$((Y - 45)) +repage "$out/$1"; }
click() { xdotool mousemove $((X + $1)) $((Y + $2)); sleep 0.5; xdotool click 1; sleep 0.9; }

xdotool mousemove $((X + 255)) $((Y + 15))  # over the folder button: its tool tip
sleep 2.5
frame windows-1-start-panel-tooltip.png
click 194 40  # Options
xdotool mousemove $((X + 5)) $((Y + 65))
sleep 0.5
frame windows-2-options-panel.png
click 388 34  # set
click 17 12   # check ".*"
click 255 15  # the folder button: the browser opens at the kept folder
sleep 4
picker=$(xdotool getactivewindow)
PX=$(xwininfo -id "$picker" | awk '/Absolute upper-left X/ {print $4}')
PY=$(xwininfo -id "$picker" | awk '/Absolute upper-left Y/ {print $4}')
PW=$(xwininfo -id "$picker" | awk '/Width:/ {print $2}')
PH=$(xwininfo -id "$picker" | awk '/Height:/ {print $2}')
import -window root -crop $((PW + 10))x$((PH + 35))+$((PX - 5))+$((PY - 30)) +repage \
  "$out/windows-3-folder-picker.png"
xdotool key Return
sleep 1.5
xdotool mousemove $((X + 5)) $((Y + 65))
sleep 0.5
frame windows-4-running-panel.png
DRIVE
xvfb-run -a -s "-screen 0 800x500x24 -dpi 96" bash "$work/drive-windows.sh" "$work" "$out" \
  "$program" "$PWD/build-win/wine-fonts.reg"
echo "Saved: $(ls "$out" | tr '\n' ' ')in $out"
