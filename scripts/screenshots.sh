#!/usr/bin/env bash
# Takes a picture of every wizard screen into docs/screenshots/, walking the
# wizard on the embedded sandbox. Renders offscreen: no display needed.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target screens_screenshots -j"$(nproc)"
QT_QPA_PLATFORM=offscreen "$build/bin/screens_screenshots" docs/screenshots
