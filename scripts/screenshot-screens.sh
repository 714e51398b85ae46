#!/usr/bin/env bash
# Makes a new screen "Pumps" in the station on a virtual display (Xvfb) through its
# dialogs, with the mouse and the keyboard through xdotool, and shows it in run-time mode.
#
#   scripts/screenshot-screens.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to build/release, OUTPUT to build/screens.png; the pictures are
# OUTPUT with -connections, -style, -screens, -properties, -colour, -pumps,
# -display-editor, -built and -runtime before ".png". The station runs on a fresh copy
# of examples/demo; the simulator serves HALVANE_SIM_ADDRESS (default 127.0.0.1:1502).
# The steps: "Connections..." shown and closed; "Settings..." > "Styles" > "Add style"
# named "Large"; "Screens..." > "Add screen" titled "Pumps", its properties with a
# background colour chosen in the colour dialog; on the new screen a "Numeric Display" of
# "Water temperature" in the style "Large" and a "Graphical symbol" chosen in the gallery
# browser; then run-time mode.
set -euo pipefail
build_dir=${1:-build/release}
output=${2:-build/screens.png}
sim_address=${HALVANE_SIM_ADDRESS:-127.0.0.1:1502}
display=${HALVANE_SCREENSHOT_DISPLAY:-:98}
repo=$(cd "$(dirname "$0")/.." && pwd)

for tool in Xvfb import xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
for program in "$build_dir/src/app/halvane" "$build_dir/tools/sim/halvane-sim"; do
  [ -x "$program" ] || { echo "$program not found: build first" >&2; exit 1; }
done

data_root=$(mktemp -d "${TMPDIR:-/tmp}/halvane-screens-XXXXXX")
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
' "$repo/examples/demo/cfg/config.cfg" >"$data_root/cfg/config.cfg"

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
menu() { # the Settings menu's item at this position
  click 112 9
  for _ in $(seq "$1"); do xdo key Down; done
  xdo key Return
  sleep 1
}

menu 1 # "Connections...", shown and closed unchanged
shot connections
xdo key Escape
sleep 0.5
menu 4        # "Settings..."
click 305 108 # its "Styles" page
click 413 409 # "Add style": Yes, the name, the confirmation
xdo key Return; sleep 0.8
xdo type Large; xdo key Return; sleep 0.8
xdo key Return; sleep 0.8
shot style
click 633 447 # "Save"
menu 2        # "Screens..."
click 399 481 # "Add screen": Yes, then the title
xdo key Return; sleep 0.8
xdo key ctrl+a; xdo type Pumps; xdo key Return; sleep 1
shot screens
click 312 481 # "Edit screen" on the new row
shot properties
click 732 326 # "Select color...", a blue of the basic colours, OK
click 334 142
shot colour
click 646 457
click 663 455 # "Save", then the list's "Close"
click 741 481
click 462 32 # the "Pumps" tab
shot pumps
# "Numeric Display" at 100,100: the next tag (2. Water temperature), the fifth style.
drag 74 512 351 152
click 572 239
xdo key Down Return; sleep 0.3
click 572 318
xdo key Down Down Down Down Return; sleep 0.5
shot display-editor
click 896 418
# "Graphical symbol" at 350,60 (the palette scrolled down three steps), the gallery's
# "Pumps" category and its first picture.
click 233 604
click 233 604
click 233 604
drag 77 584 601 112
click 968 238
dclick 320 151
dclick 320 151
click 1142 339
shot built
click 58 9 # "View", then "Show in Run-time mode"
xdo key Down Down Return
sleep 3
shot runtime

# The style is in config.cfg, the screen in the list and its file holds both objects.
grep -q '^Name=Large' "$data_root/cfg/config.cfg" || { echo "The style was not added" >&2; exit 1; }
number=$(sed -n 's/^ScreenCfgId\.2=//p' "$data_root/cfg/config.cfg" | tr -d '\r')
file="$data_root/cfg/screen.$number.cfg"
grep -q '^Title=Pumps' "$file" && grep -q '^NoOfMarkers=2' "$file" ||
  { echo "The screen Pumps does not hold its two objects" >&2; exit 1; }
grep -E '^(Title|Background.Solid.Color|NoOfMarkers|Type|UseStyle|AttrStr1)=' "$file"
