#!/usr/bin/env bash
# The demo with its tank level alarm: the alarm list docked at the bottom, the banner in
# the status bar, then the list after "Acknowledge".
#
#   scripts/screenshot-alarms.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to build/release, OUTPUT to build/alarms.png. The station runs on a
# virtual display (Xvfb) for HALVANE_SCREENSHOT_DELAY seconds (default 45: the simulator's
# tank passes its 4.5 m limit about half a minute after the start). Pictures: OUTPUT (F9
# pressed: the list with the unacknowledged alarm and the banner), OUTPUT-acknowledged (the
# row clicked and "Acknowledge" pressed) and OUTPUT-journal (the journal viewer).
set -euo pipefail
build_dir=${1:-build/release}
output=${2:-build/alarms.png}
display=${HALVANE_SCREENSHOT_DISPLAY:-:98}
source "$(dirname "$0")/xvfb-station.sh"

delay=${HALVANE_SCREENSHOT_DELAY:-45} start_station
grep -q ',raised,1,Tank level,' "$data_root"/events/*.csv ||
  { echo "No tank level alarm was raised within the delay" >&2; exit 1; }

mkdir -p "$(dirname "$output")"
window=$(xdo search --name '^Halvane$' | head -n 1)
xdo windowfocus --sync "$window"
xdo key F9; sleep 2
DISPLAY=$display import -window "$window" "$output"
echo "Screenshot: $output"

# The list has the keys: the first row, then "Acknowledge" (Alt+A).
xdo key Down; sleep 0.5
xdo key alt+a; sleep 1.5
file="${output%.png}-acknowledged.png"
DISPLAY=$display import -window "$window" "$file"
echo "Screenshot: $file"

# "View" > "Journal...".
xdo key alt+v; sleep 0.5; xdo key j; sleep 2
journal=$(xdo search --name '^Journal$' | head -n 1)
if [ -n "$journal" ]; then
  xdo windowsize "$journal" 1100 500; sleep 1
  file="${output%.png}-journal.png"
  DISPLAY=$display import -window "$journal" "$file"
  echo "Screenshot: $file"
fi
