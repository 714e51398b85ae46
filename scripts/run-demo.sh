#!/usr/bin/env bash
# Starts the station on the demo data root. Without a display it runs offscreen.
set -euo pipefail
build_dir=$1
data_root=$2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: the station runs with the offscreen platform (stop it with Ctrl+C)."
  export QT_QPA_PLATFORM=offscreen
fi
echo "Data root: $data_root"
exec "$build_dir/src/app/halvane" --data-root "$data_root"
