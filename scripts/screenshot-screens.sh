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
display=${HALVANE_SCREENSHOT_DISPLAY:-:98}
source "$(dirname "$0")/xvfb-station.sh"
start_station

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
