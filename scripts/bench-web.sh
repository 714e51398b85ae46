#!/usr/bin/env bash
# Requests per second of the station's web server (the demo template page and a 100 KB
# static file) beside nginx serving the same file with keep-alive off, in one run.
# Usage: scripts/bench-web.sh BUILD_DIR   (the station and the simulator must be built)
set -euo pipefail
build_dir=$(realpath "$1")
duration=${BENCH_SECONDS:-10}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

cd "$(dirname "$0")/.."
mkdir -p "$work/root"
cp -a examples/demo/. "$work/root/"
head -c 102400 /dev/urandom > "$work/root/http/static-100k.bin"
chmod -R a+rX "$work"  # nginx workers run as an unprivileged user
sim_port=$((15000 + RANDOM % 1000))
web_port=$((16000 + RANDOM % 1000))
nginx_port=$((17000 + RANDOM % 1000))
sed -i "s/^port=1502/port=$sim_port/; s/^Port=8088/Port=$web_port/" "$work/root/cfg/config.cfg"

"$build_dir/tools/sim/halvane-sim" --tcp "127.0.0.1:$sim_port" --units 1,2 >/dev/null &
QT_QPA_PLATFORM=offscreen "$build_dir/src/app/halvane" --data-root "$work/root" -runtime 2>/dev/null &

mkdir -p "$work/nginx"
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_timeout 0;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/root/http;
  }
}
CONF
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -g 'daemon off;' &

for _ in $(seq 50); do
  curl -sf "http://127.0.0.1:$web_port/" >/dev/null && curl -sf "http://127.0.0.1:$nginx_port/static-100k.bin" >/dev/null && break
  sleep 0.2
done

rate() { # URL → requests per second
  local out
  out=$(wrk -t2 -c16 -d"${duration}s" -H "Connection: close" "$1")
  if grep -q "Non-2xx" <<<"$out"; then echo "failed: $(grep Non-2xx <<<"$out")"; return; fi
  awk "/Requests\/sec/ {print \$2}" <<<"$out"
}
page=$(rate "http://127.0.0.1:$web_port/")
static=$(rate "http://127.0.0.1:$web_port/static-100k.bin")
nginx=$(rate "http://127.0.0.1:$nginx_port/static-100k.bin")
printf '%-32s %12s\n' "what" "requests/s"
printf '%-32s %12s\n' "station: demo template page" "$page"
printf '%-32s %12s\n' "station: 100 KB static file" "$static"
printf '%-32s %12s\n' "nginx: 100 KB static file" "$nginx"
awk -v s="$static" -v n="$nginx" 'BEGIN { printf "static file, station / nginx: %.2f\n", s / n }'
