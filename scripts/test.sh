#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and runs every test: the sanitizer build
# and the fuzz run first, the main suite last so its summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
bash scripts/sanitize.sh
bash scripts/fuzz.sh
ctest --test-dir build --output-on-failure -j"$jobs"
