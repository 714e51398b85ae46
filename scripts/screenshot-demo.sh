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
display=${HALVANE_SCREENSHOT_DISPLAY:-:99}
delay=${HALVANE_SCREENSHOT_DELAY:-5}
source "$(dirname "$0")/xvfb-station.sh"
start_station

mkdir -p "$(dirname "$output")"
DISPLAY=$display import -window root "$output"
echo "Screenshot: $output"

# The "<Tags>" tab, then the tag list's "Communication monitor" button.
click 466 32
sleep 1
click 1032 65
sleep 2
shot monitor

# Then operate the station as an operator would, in run-time mode without tabs, so the first
# screen's client area starts at the window's client origin (+1 for the dock's frame):
# start the pump and preset its speed setpoint to 80 % (the demo writes outputs only when a
# value is set, so the pump runs only once started; the simulator then reports the pump
# speed at 80 %), and switch to the next screen with its ">>" button.
stop_station
sed -i 's/^Show.ScreenTabs=1/Show.ScreenTabs=0/' "$data_root/cfg/config.cfg"
start_station -runtime
# The first screen's client area starts one pixel (the dock's frame) inside the window's.
screen_click() { click $((1 + $1)) $((1 + $2)); }
screen_click 710 152 # "Start pump"
sleep 1
screen_click 710 332 # "Setpoint 80 %"
sleep 3
shot preset
screen_click 740 482 # ">>"
sleep 2
shot next
