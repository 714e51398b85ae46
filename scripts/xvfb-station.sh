# Sourced by the screenshot scripts: the station on a fresh copy of the demo project, on a
# virtual display (Xvfb) beside the Modbus simulator, and xdotool helpers to operate it.
#
# Before sourcing set build_dir, output (the pictures are OUTPUT with -NAME before ".png")
# and display; HALVANE_SIM_ADDRESS (default 127.0.0.1:1502) names the simulator's address.
# The station's web server is off, so that no port of this machine is needed.
sim_address=${HALVANE_SIM_ADDRESS:-127.0.0.1:1502}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

for tool in Xvfb import xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
for program in "$build_dir/src/app/halvane" "$build_dir/tools/sim/halvane-sim"; do
  [ -x "$program" ] || { echo "$program not found: build first" >&2; exit 1; }
done

data_root=$(mktemp -d "${TMPDIR:-/tmp}/halvane-xvfb-XXXXXX")
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

# Starts the station (extra arguments such as -runtime go to it) and waits `delay` seconds
# (default 4) for it to show; X and Y are then its window's client origin.
start_station() {
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$build_dir/src/app/halvane" --data-root "$data_root" "$@" &
  pids+=($!)
  sleep "${delay:-4}"
  kill -0 "${pids[-1]}" 2>/dev/null || { echo "The station ended early" >&2; exit 1; }
  local window
  window=$(xdo search --name '^Halvane$' | head -n 1)
  eval "$(xdo getwindowgeometry --shell "$window")"
}
stop_station() {
  kill -TERM "${pids[-1]}"
  wait "${pids[-1]}" 2>/dev/null || true
  unset 'pids[-1]'
}
xdo() { DISPLAY=$display xdotool "$@"; }
shot() { # name
  local file="${output%.png}-$1.png"
  mkdir -p "$(dirname "$file")"
  DISPLAY=$display import -window root "$file"
  echo "Screenshot: $file"
}
# Positions are in the main window's client area.
at() { xdo mousemove $((X + $1)) $((Y + $2)); }
click() { at "$1" "$2"; xdo click 1; sleep 0.5; }
dclick() { at "$1" "$2"; xdo click --repeat 2 --delay 80 1; sleep 0.8; }
# A drag in small steps, as a hand does it, so that the program sees the moves.
drag() { # from x y, to x y
  at "$1" "$2"; xdo mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    at $(($1 + ($3 - $1) * step / 8)) $(($2 + ($4 - $2) * step / 8)); sleep 0.1
  done
  xdo mouseup 1; sleep 1
}
