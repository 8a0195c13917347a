#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and runs it on the embedded sandbox system.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
./build/bin/orvex-cli generate examples/flights_by_carrier.json
