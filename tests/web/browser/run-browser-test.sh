#!/usr/bin/env bash
# Runs the operator page's test in a real browser: installs puppeteer-core with npm ci into
# the build folder (never into the source tree), then runs hmi-browser-test.js, which puts
# its screenshots into the build folder.
# Usage: run-browser-test.sh HALVANE_PROGRAM BUILD_FOLDER
# Exits 77 (skipped) only when chromium or node is missing; scripts/install-deps.sh
# installs them.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
halvane=$1
build=$2

for tool in /usr/bin/chromium node npm; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is missing; scripts/install-deps.sh installs chromium, nodejs and npm"
    exit 77
  fi
done

modules="$build/browser-test"
mkdir -p "$modules"
# npm ci again only when the lock file changed.
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
fi

HALVANE="$halvane" PEERS="$here/../../comm/peers" OUT="$build" NODE_PATH="$modules/node_modules" \
  node "$here/hmi-browser-test.js"
