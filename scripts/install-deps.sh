#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks and the demo
# need. Does nothing (quickly) when every package is already present.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ make
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev qt6-multimedia-dev libwmf-dev libemf2svg-dev
  libmodbus-dev libmosquitto-dev libmicrohttpd-dev libsodium-dev mosquitto mosquitto-clients openssl
  python3-pymodbus python3-serial python3-serial-asyncio socat curl
  libcurl4-openssl-dev python3-aiosmtpd
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-urw-base35
  wrk nginx-light imagemagick
  xvfb xauth xdotool
  chromium
)

# Node.js and npm for the browser tests: Debian's, unless the machine has them already (a
# Node.js of another source ships its own npm and conflicts with Debian's npm package).
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
