#!/usr/bin/env bash
# Arranges a small plant on a screen in the station on a virtual display (Xvfb) with the
# editor's commands for several objects, through xdotool, then shows it live: the pump's
# symbol follows the simulator's "Pump running" coil.
#
#   scripts/screenshot-plant.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to build/release, OUTPUT to build/plant.png; the pictures are OUTPUT
# with -start, -selected, -aligned, -pasted, -undone and -runtime before ".png". The station
# runs on a fresh copy of examples/demo with one more screen, "Plant built here", holding a
# pump, a valve, a tank and a fan from the starter gallery (share/halvane/gallery) at
# uneven heights; the pump is bound to "Pump running" (0: pump-off.svg, 1: pump-on.svg).
# The steps: a rubber band over the four, "Align" > "Top" from the popup, Shift+Right twice
# (two grid steps), Ctrl+C and Ctrl+V (the copies one grid step away), Ctrl+Z (the copies
# go); then run-time mode.
set -euo pipefail
build_dir=${1:-build/release}
output=${2:-build/plant.png}
display=${HALVANE_SCREENSHOT_DISPLAY:-:98}
source "$(dirname "$0")/xvfb-station.sh"

for category in pumps valves tanks fans; do
  cp -r "$repo/share/halvane/gallery/$category" "$data_root/gallery/"
done
symbol() { # marker, left, top, picture, extra keys
  printf '[Marker.%s]\nTL=%s,%s\nBR=%s,%s\nType=100\nChannel=0\nUseStyle=0\nAttrStr1=%s\n%b' \
    "$1" "$2" "$3" $(($2 + 64)) $(($3 + 64)) "$4" "${5:-}"
}
sed -i 's/^ScreenCfgId.1=.*/&\nScreenCfgId.2=1003/' "$data_root/cfg/config.cfg"
{
  printf '[General]\nTitle=Plant built here\nLeft=0\nTop=0\nWidth=600\nHeight=400\n'
  printf 'Background.Solid.Color=15790320\nNoOfMarkers=4\n'
  symbol 0 60 120 'pumps\pump-off.svg' \
    'SymbolTag=2\nSymbolPictures=0=pumps/pump-off.svg;1=pumps/pump-on.svg\n'
  symbol 1 180 60 'valves\valve-on.svg'
  symbol 2 300 150 'tanks\tank-on.svg'
  symbol 3 420 90 'fans\fan-off.svg'
} >"$data_root/cfg/screen.1003.cfg"
start_station

# The screen's origin in the window's client area, as the demo lays it out.
sx=251
sy=52
on() { echo $((sx + $1)) $((sy + $2)); }
click 470 32 # the "Plant built here" tab
shot start
# A rubber band from empty space over the four symbols selects them.
drag $(on 20 20) $(on 560 300)
shot selected
# The popup on one of them: "Align" (Alt key A), "Top" (T).
at $(on 92 152)
xdo click 3
sleep 0.5
xdo key a
sleep 0.3
xdo key t
sleep 1
xdo key shift+Right shift+Right
sleep 1
shot aligned
xdo key ctrl+c ctrl+v
sleep 1
shot pasted
xdo key ctrl+z
sleep 1
shot undone
click 58 9 # "View", then "Show in Run-time mode"
xdo key Down Down Return
sleep 3
shot runtime

# Leaving edit mode wrote the screen: the four symbols, on one top line, moved right.
screen="$data_root/cfg/screen.1003.cfg"
grep -q '^NoOfMarkers=4' "$screen" || { echo "The screen does not hold the four symbols" >&2; exit 1; }
tops=$(grep '^TL=' "$screen" | cut -d, -f2 | sort -u | wc -l)
[ "$tops" = 1 ] || { echo "The symbols are not aligned at the top" >&2; exit 1; }
grep -q '^TL=200,' "$screen" || { echo "The valve did not move two grid steps right" >&2; exit 1; }
sed -n '/^\[Marker/,$p' "$screen"
