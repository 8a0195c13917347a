#!/usr/bin/env bash
# Installs every Debian package ORVEX needs to build, run and test.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache mold
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  libsqlite3-dev libsimpleini-dev nlohmann-json3-dev libcli11-dev
  libcpp-httplib-dev libcurl4-openssl-dev libpugixml-dev libssl-dev ca-certificates tinyproxy
  libsecret-1-dev gnome-keyring dbus-daemon
  clang libclang-rt-14-dev
  xvfb xauth
  dpkg-dev file help2man lintian desktop-file-utils
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The syntax check and the execution of generated programs need Node.js; the
# machine image ships it.
if ! command -v node >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nodejs npm
fi
# The ABAP tools the tests run (abaplint, and the ABAP transpiler with its
# runtime and SQLite driver) come from npm, pinned in package-lock.json. They
# are installed here, never while the tests run.
root=$(cd "$(dirname "$0")/.." && pwd)
if ! node "$root/scripts/node-modules-current.mjs" 2>/dev/null; then
  (cd "$root" && npm ci --no-audit --no-fund --loglevel=error)
fi
