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
sim_address=${HALVANE_SIM_ADDRESS:-127.0.0.1:1502}
display=${HALVANE_SCREENSHOT_DISPLAY:-:98}
repo=$(cd "$(dirname "$0")/.." && pwd)

for tool in Xvfb import xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
for program in "$build_dir/src/app/halvane" "$build_dir/tools/sim/halvane-sim"; do
  [ -x "$program" ] || { echo "$program not found: build first" >&2; exit 1; }
done

data_root=$(mktemp -d "${TMPDIR:-/tmp}/halvane-editing-XXXXXX")
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$data_root"
}
trap cleanup EXIT

cp -a "$repo/examples/demo/." "$data_root/"
awk -v port="${sim_address##*:}" '
  /^\[/ { section = $0 }
  section == "[Ethernet.1]" && /^port=/ { $0 = "port=" port }
  section == "[WebServer]" && /^Enabled=/ { $0 = "Enabled=0" }
  { print }
  section == "[Screens]" && /^ScreenCfgId.1=/ { print "ScreenCfgId.2=1002" }
' "$repo/examples/demo/cfg/config.cfg" >"$data_root/cfg/config.cfg"
printf '[General]\nTitle=Built here\nLeft=0\nTop=0\nWidth=600\nHeight=400\nBackground.Solid.Color=3156008\nNoOfMarkers=0\n' \
  >"$data_root/cfg/screen.1002.cfg"

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp &
pids+=($!)
socket=/tmp/.X11-unix/X${display#:}
for _ in $(seq 50); do
  [ -S "$socket" ] && break
  sleep 0.1
done
[ -S "$socket" ] || { echo "The virtual display $display did not start" >&2; exit 1; }

"$build_dir/tools/sim/halvane-sim" --tcp "$sim_address" --units 1,2 &
pids+=($!)
sleep 0.3
kill -0 "${pids[-1]}" 2>/dev/null ||
  { echo "The Modbus simulator could not start on $sim_address" >&2; exit 1; }

DISPLAY=$display QT_QPA_PLATFORM=xcb "$build_dir/src/app/halvane" --data-root "$data_root" &
pids+=($!)
sleep 4
kill -0 "${pids[-1]}" 2>/dev/null || { echo "The station ended early" >&2; exit 1; }

xdo() { DISPLAY=$display xdotool "$@"; }
shot() { # name
  local file="${output%.png}-$1.png"
  mkdir -p "$(dirname "$file")"
  DISPLAY=$display import -window root "$file"
  echo "Screenshot: $file"
}
window=$(xdo search --name '^Halvane$' | head -n 1)
eval "$(xdo getwindowgeometry --shell "$window")"
# Window positions, as the main window lays itself out (the tree and palette on the left,
# the tabs above the dock area, the screen's client area inside its 4-pixel edit border).
at() { xdo mousemove $((X + $1)) $((Y + $2)); }
click() { at "$1" "$2"; xdo click 1; sleep 0.5; }
# A drag in small steps, as a hand does it, so that the program sees the moves.
drag() { # from x y, to x y
  at "$1" "$2"; xdo mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    at $(($1 + ($3 - $1) * step / 8)) $(($2 + ($4 - $2) * step / 8)); sleep 0.1
  done
  xdo mouseup 1; sleep 1
}
dclick() { at "$1" "$2"; xdo click --repeat 2 --delay 80 1; sleep 0.8; }

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
