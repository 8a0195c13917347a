#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and starts the wizard on the embedded sandbox system.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec ./build/bin/orvex
