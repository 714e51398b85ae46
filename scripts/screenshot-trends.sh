#!/usr/bin/env bash
# The trends window and the browser's history page on the demo with 20 hours of history.
#
#   scripts/screenshot-trends.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to build/release, OUTPUT to build/trends.png. History for the demo's
# tags is generated first (scripts/make-demo-history.py), then the station runs on a virtual
# display (Xvfb) for HALVANE_SCREENSHOT_DELAY seconds (default 60) and appends lines of its
# own. Pictures: OUTPUT (the trends window opened from "View" with three tags over the last
# day), OUTPUT-zoom (zoomed in with the wheel, the cursor on the chart) and OUTPUT-browser
# (history.html in headless Chromium, from the station's web server on a free port).
set -euo pipefail
build_dir=${1:-build/release}
output=${2:-build/trends.png}
display=${HALVANE_SCREENSHOT_DISPLAY:-:99}
export LC_ALL=C.UTF-8 # the generated history is written in the C locale's format
source "$(dirname "$0")/xvfb-station.sh"

web_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -i "/^\[WebServer\]/,/^\[/{s/^Enabled=.*/Enabled=1/;s/^Port=.*/Port=$web_port/}" \
  "$data_root/cfg/config.cfg"
python3 "$repo/scripts/make-demo-history.py" "$data_root" 20
delay=${HALVANE_SCREENSHOT_DELAY:-60} start_station

# "View" > "Trends...", then in the window: the tag list, tags 1, 2 and 8, "Last day".
click 58 8; xdo key t; sleep 3
trends=$(xdo search --name '^Trends$' | head -n 1)
xdo windowfocus --sync "$trends"
xdo windowsize "$trends" 1100 680; xdo windowmove "$trends" 60 60; sleep 1
eval "$(xdo getwindowgeometry --shell "$trends")"
xdo key Tab space Down space Down Down Down Down Down Down space; sleep 1
xdo key Tab Down; sleep 2
DISPLAY=$display import -window "$trends" "$output"
echo "Screenshot: $output"

# Three wheel steps in at two thirds of the chart, then the cursor there.
at 700 300; for _ in 1 2 3; do xdo click 4; sleep 0.3; done; sleep 2
at 720 320; sleep 1
file="${output%.png}-zoom.png"
DISPLAY=$display import -window "$trends" "$file"
echo "Screenshot: $file"

file="${output%.png}-browser.png"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1040,1000 \
  --virtual-time-budget=8000 --screenshot="$file" \
  "http://127.0.0.1:$web_port/history.html?tags=1,2,8" 2>/dev/null
echo "Screenshot: $file"
