#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and starts the wizard on the embedded
# sandbox system. Without a display (a server, a container, a remote shell) it
# does the wizard's main job from the command line instead: generates an
# example report, creates and activates it in the sandbox, and shows it there.
#
# The package installation and the build write to build/setup.log and
# build/build.log; each step says one line with its time, and a step that
# fails shows the last lines of its log.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
: >build/setup.log
: >build/build.log

step() {  # title, log, command...
    local title=$1 log=$2
    shift 2
    local start=$SECONDS status=0
    printf '%s... ' "$title"
    "$@" >>"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
        echo "done ($((SECONDS - start)) s)"
        return
    fi
    echo "failed ($((SECONDS - start)) s)"
    echo "The last 30 lines of $log:"
    tail -n 30 "$log"
    echo "The whole log: $log"
    exit "$status"
}

step "Installing packages" build/setup.log bash scripts/setup.sh
step "Configuring the build" build/build.log cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the three programs: the tests, benchmarks and doubles are scripts/test.sh's.
step "Building orvex, orvex-cli and orvex-sandbox" build/build.log \
    cmake --build build -j"$(nproc)" --target orvex orvex-cli orvex-sandbox
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
