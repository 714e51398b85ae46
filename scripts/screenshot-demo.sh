#!/usr/bin/env bash
# Runs the demo (Modbus simulator and station) on a virtual display, takes a picture of the
# whole display and stops everything again.
#
#   scripts/screenshot-demo.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to build/release, OUTPUT to build/screenshot.png. The station runs on a
# fresh copy of examples/demo, polling the simulator at HALVANE_SIM_ADDRESS (default
# 127.0.0.1:1502), with its web server off so that no port of this machine is needed.
# HALVANE_SCREENSHOT_DISPLAY (default :99) and HALVANE_SCREENSHOT_DELAY (seconds, default 5)
# choose the virtual display and how long the station runs before the picture.
set -euo pipefail
build_dir=${1:-build/release}
output=${2:-build/screenshot.png}
sim_address=${HALVANE_SIM_ADDRESS:-127.0.0.1:1502}
display=${HALVANE_SCREENSHOT_DISPLAY:-:99}
delay=${HALVANE_SCREENSHOT_DELAY:-5}
repo=$(cd "$(dirname "$0")/.." && pwd)

for tool in Xvfb import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
for program in "$build_dir/src/app/halvane" "$build_dir/tools/sim/halvane-sim"; do
  [ -x "$program" ] || { echo "$program not found: build first" >&2; exit 1; }
done

data_root=$(mktemp -d "${TMPDIR:-/tmp}/halvane-screenshot-XXXXXX")
pids=()
cleanup() {
  # Newest first: the station, the simulator, then the display.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$data_root"
}
trap cleanup EXIT

cp -a "$repo/examples/demo/." "$data_root/"
# The copy polls the simulator's port and leaves the web server off.
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
sleep "$delay"
kill -0 "${pids[-1]}" 2>/dev/null || { echo "The station ended before the picture" >&2; exit 1; }

mkdir -p "$(dirname "$output")"
DISPLAY=$display import -window root "$output"
echo "Screenshot: $output"

have_xdotool=$(command -v xdotool || true)
[ -n "$have_xdotool" ] || { echo "xdotool is missing: no operated pictures" >&2; exit 0; }
# Positions within the window's client area, as the demo lays it out at 1280 x 1024.
window_click() { # window name, x, y
  local window
  window=$(DISPLAY=$display xdotool search --name "$1" | head -n 1)
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
  DISPLAY=$display xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
# The "<Tags>" tab, then the tag list's "Communication monitor" button.
window_click '^Halvane$' 466 32
sleep 1
window_click '^Halvane$' 972 65
sleep 2
monitor="${output%.png}-monitor.png"
DISPLAY=$display import -window root "$monitor"
echo "Screenshot of the tag list and the communication monitor: $monitor"

# Then operate the station as an operator would, in run-time mode without tabs, so the first
# screen's client area starts at the window's client origin (+1 for the dock's frame):
# preset the pump speed setpoint to 80 % (the simulator then reports the pump speed at 80 %),
# and switch to the next screen with its ">>" button.
kill -TERM "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
unset 'pids[-1]'
sed -i 's/^Show.ScreenTabs=1/Show.ScreenTabs=0/' "$data_root/cfg/config.cfg"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build_dir/src/app/halvane" --data-root "$data_root" -runtime &
pids+=($!)
sleep "$delay"
window=$(DISPLAY=$display xdotool search --name '^Halvane$' | head -n 1)
eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
click() { # client x, y of the screen
  DISPLAY=$display xdotool mousemove $((X + 1 + $1)) $((Y + 1 + $2)) click 1
}
click 710 332 # "Setpoint 80 %"
sleep 3
operated="${output%.png}-preset.png"
DISPLAY=$display import -window root "$operated"
echo "Screenshot after the preset: $operated"
click 740 482 # ">>"
sleep 2
next="${output%.png}-next.png"
DISPLAY=$display import -window root "$next"
echo "Screenshot after >>: $next"
