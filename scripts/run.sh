#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and starts the wizard on the embedded
# sandbox system. Without a display (a server, a container, a remote shell) it
# does the wizard's main job from the command line instead: generates an
# example report, creates and activates it in the sandbox, and shows it there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
# The wizard's own test: a window system, or a platform chosen explicitly.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  exec ./build/bin/orvex
fi

design=examples/flights_by_carrier.json
program=ZFLIGHTS_BY_CARRIER
source=build/$program.abap
echo
echo "No display found: doing the wizard's job without a window."
echo
echo "== Generating the report of $design"
./build/bin/orvex-cli generate "$design" -o "$source"
echo "ABAP source written to $source ($(wc -l <"$source") lines)."
echo
echo "== Creating and activating $program in the embedded sandbox"
./build/bin/orvex-cli install "$design"
echo
echo "== The program in the sandbox (orvex-sandbox show $program)"
./build/bin/orvex-sandbox show "$program"
echo
echo "To use the wizard itself, run ./build/bin/orvex in a desktop session,"
echo "or here in a virtual display: xvfb-run -a ./build/bin/orvex"
