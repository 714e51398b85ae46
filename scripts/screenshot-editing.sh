#!/usr/bin/env bash
# Draws a screen in the station on a virtual display (Xvfb) the way an engineer does, with
# the mouse and the keyboard through xdotool, then shows it live in run-time mode.
#
#   scripts/screenshot-editing.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to build/release, OUTPUT to build/editing.png; the pictures are
# OUTPUT with -empty, -display-editor, -display, -gallery, -symbol, -moved and -runtime
# before ".png". The station runs on a fresh copy of examples/demo with one more screen,
# "Built here", that holds no object yet; the simulator serves HALVANE_SIM_ADDRESS
# (default 127.0.0.1:1502). The steps: a "Numeric Display" dragged from the palette and
# bound to "Water temperature", a "Graphical symbol" dropped, given the gallery's pump
# picture and resized by its handle, the display moved; then run-time mode.
set -euo pipefail
build_dir=${1:-build/release}
output=${2:-build/editing.png}
display=${HALVANE_SCREENSHOT_DISPLAY:-:98}
source "$(dirname "$0")/xvfb-station.sh"
# One more screen, empty, in the list.
sed -i 's/^ScreenCfgId.1=.*/&\nScreenCfgId.2=1002/' "$data_root/cfg/config.cfg"
printf '[General]\nTitle=Built here\nLeft=0\nTop=0\nWidth=600\nHeight=400\nBackground.Solid.Color=3156008\nNoOfMarkers=0\n' \
  >"$data_root/cfg/screen.1002.cfg"
start_station

click 470 32 # the "Built here" tab
shot empty
# "Numeric Display", the palette's first entry, onto the screen at 100,100; the editor
# opens there: the next tag (2. Water temperature), then "Save".
drag 74 512 351 152
click 572 239
xdo key Down Return
sleep 0.5
shot display-editor
click 896 418
shot display
# "Graphical symbol" (the palette scrolled down three steps) at 350,60; "Select..." opens
# the gallery: the "Pumps" category, its first picture, then "Save".
click 233 604
click 233 604
click 233 604
drag 77 584 601 112
click 968 238
shot gallery
dclick 320 151
dclick 320 151
click 1142 339
shot symbol
drag 640 160 700 240 # the picture's handle, at its bottom-right corner
drag 399 160 449 330 # the display, by its value
shot moved
click 58 9 # "View", then "Show in Run-time mode"
xdo key Down Down Return
sleep 3
shot runtime

# Leaving edit mode wrote the screen: its file holds both objects.
grep -q '^NoOfMarkers=2' "$data_root/cfg/screen.1002.cfg" ||
  { echo "The screen file does not hold the two objects" >&2; exit 1; }
sed -n '/^\[Marker/,$p' "$data_root/cfg/screen.1002.cfg"
