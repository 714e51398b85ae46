#!/usr/bin/env bash
# Starts the Modbus simulator and the station on the demo data root. Without a display
# the station runs offscreen. Stopping the station stops the simulator.
set -euo pipefail
build_dir=$1
data_root=$2
sim_address=${HALVANE_SIM_ADDRESS:-127.0.0.1:1502}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: the station runs with the offscreen platform (stop it with Ctrl+C)."
  export QT_QPA_PLATFORM=offscreen
fi

"$build_dir/tools/sim/halvane-sim" --tcp "$sim_address" --units 1,2 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
sleep 0.3
if ! kill -0 "$sim_pid" 2>/dev/null; then
  echo "The Modbus simulator could not start on $sim_address (set HALVANE_SIM_ADDRESS to use another)." >&2
  exit 1
fi

echo "Modbus simulator on $sim_address; data root: $data_root"
"$build_dir/src/app/halvane" --data-root "$data_root" &
station_pid=$!
# Ctrl+C or a kill of this script ends the station through its normal shut-down.
trap 'kill -TERM "$station_pid" 2>/dev/null' INT TERM
status=0
wait "$station_pid" || status=$?
# A trapped signal ends the first wait early: wait for the station's own end.
kill -0 "$station_pid" 2>/dev/null && { wait "$station_pid" || status=$?; }
exit "$status"
