#!/usr/bin/env bash
# Requests per second of the station's web server beside nginx, with keep-alive off and on,
# for the demo template page and a 100 KB static file. nginx serves the page as the station
# expands it, saved as a file, and the same 100 KB file.
# Usage: scripts/bench-web.sh BUILD_DIR   (the station and the simulator must be built)
set -euo pipefail
build_dir=$(realpath "$1")
duration=${BENCH_SECONDS:-10}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

cd "$(dirname "$0")/.."
mkdir -p "$work/root" "$work/nginx/html"
cp -a examples/demo/. "$work/root/"
head -c 102400 /dev/urandom > "$work/root/http/static-100k.bin"
cp "$work/root/http/static-100k.bin" "$work/nginx/html/"
sim_port=$((15000 + RANDOM % 1000))
web_port=$((16000 + RANDOM % 1000)) # keep-alive off; on: the next port
nginx_port=$((17000 + RANDOM % 1000)) # keep-alive off; on: the next port
config="$work/root/cfg/config.cfg"
sed -i "s/^port=1502/port=$sim_port/" "$config"

"$build_dir/tools/sim/halvane-sim" --tcp "127.0.0.1:$sim_port" --units 1,2 >/dev/null &

wait_for() { # URL
  for _ in $(seq 50); do
    curl -sf "$1" >/dev/null && return
    sleep 0.2
  done
  echo "no answer from $1" >&2
  exit 1
}

station_pid=
start_station() { # PORT KEEPALIVE(0|1)
  sed -i '/^KeepAlive=/d' "$config"
  sed -i "/^\[WebServer\]/a KeepAlive=$2" "$config"
  sed -i "/^\[WebServer\]/,/^\[/ s/^Port=.*/Port=$1/" "$config"
  QT_QPA_PLATFORM=offscreen "$build_dir/src/app/halvane" --data-root "$work/root" -runtime 2>/dev/null &
  station_pid=$!
  wait_for "http://127.0.0.1:$1/"
}
stop_station() {
  kill "$station_pid"
  wait "$station_pid" 2>/dev/null || true
}

cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  root $work/nginx/html;
  server {
    listen 127.0.0.1:$nginx_port;
    keepalive_timeout 0;
  }
  server {
    listen 127.0.0.1:$((nginx_port + 1));
    keepalive_timeout 65;
  }
}
CONF

rate() { # URL KEEPALIVE(0|1) → requests per second
  local out
  local close=()
  [[ $2 == 1 ]] || close=(-H "Connection: close")
  out=$(wrk -t2 -c16 -d"${duration}s" "${close[@]}" "$1")
  if grep -q "Non-2xx" <<<"$out"; then echo "failed: $(grep Non-2xx <<<"$out")"; return; fi
  awk "/Requests\/sec/ {print \$2}" <<<"$out"
}

declare -A station nginx
for keepalive in 0 1; do
  port=$((web_port + keepalive))
  start_station "$port" "$keepalive"
  if [[ ! -f $work/nginx/html/demo.html ]]; then
    curl -sf "http://127.0.0.1:$port/" > "$work/nginx/html/demo.html"
    chmod -R a+rX "$work"  # nginx workers run as an unprivileged user
    /usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -g 'daemon off;' &
    wait_for "http://127.0.0.1:$nginx_port/demo.html"
  fi
  station[page,$keepalive]=$(rate "http://127.0.0.1:$port/" "$keepalive")
  station[static,$keepalive]=$(rate "http://127.0.0.1:$port/static-100k.bin" "$keepalive")
  stop_station
  port=$((nginx_port + keepalive))
  nginx[page,$keepalive]=$(rate "http://127.0.0.1:$port/demo.html" "$keepalive")
  nginx[static,$keepalive]=$(rate "http://127.0.0.1:$port/static-100k.bin" "$keepalive")
done

ratio() { awk -v s="$1" -v n="$2" 'BEGIN { if (s + 0 > 0 && n + 0 > 0) printf "%.2f", s / n; else print "-" }'; }
printf '%-26s %-10s %12s %12s %15s\n' "what" "keep-alive" "station r/s" "nginx r/s" "station/nginx"
for what in page static; do
  label=$([[ $what == page ]] && echo "demo template page" || echo "100 KB static file")
  for keepalive in 0 1; do
    printf '%-26s %-10s %12s %12s %15s\n' "$label" "$([[ $keepalive == 1 ]] && echo on || echo off)" \
      "${station[$what,$keepalive]}" "${nginx[$what,$keepalive]}" \
      "$(ratio "${station[$what,$keepalive]}" "${nginx[$what,$keepalive]}")"
  done
done
