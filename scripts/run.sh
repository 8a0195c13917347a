#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and starts the wizard on the embedded
# sandbox system. Without a display (a server, a container, a remote shell) it
# does the wizard's main job from the command line instead: generates an
# example report, creates and activates it in the sandbox, and shows it there.
#
# It builds what a user runs, the way a user runs it: the three programs,
# optimised, without debug information, in build-release (the test command's
# build in build keeps its own type). The package installation and the build
# write to build-release/setup.log and build-release/build.log; each step says one line with its time, and a step that
# fails shows the last lines of its log.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-release
mkdir -p "$out"
: >"$out/setup.log"
: >"$out/build.log"

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

step "Installing packages" "$out/setup.log" bash scripts/setup.sh
source scripts/generator.sh
# shellcheck disable=SC2046  # no option or one
step "Configuring the build" "$out/build.log" cmake $(cmake_generator "$out") -S . -B "$out" \
    -DCMAKE_BUILD_TYPE=Release -DORVEX_UNITY_BUILD=ON
# Only the three programs: the tests, benchmarks and doubles are scripts/test.sh's.
step "Building orvex, orvex-cli and orvex-sandbox" "$out/build.log" \
    cmake --build "$out" -j"$(nproc)" --target orvex orvex-cli orvex-sandbox
# The wizard's own test: a window system, or a platform chosen explicitly.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  exec ./$out/bin/orvex
fi

design=examples/flights_by_carrier.json
program=ZFLIGHTS_BY_CARRIER
source=$out/$program.abap
echo
echo "No display found: doing the wizard's job without a window."
echo
echo "== Generating the report of $design"
./$out/bin/orvex-cli generate "$design" -o "$source"
echo "ABAP source written to $source ($(wc -l <"$source") lines)."
echo
echo "== Creating and activating $program in the embedded sandbox"
./$out/bin/orvex-cli install "$design"
echo
echo "== The program in the sandbox (orvex-sandbox show $program)"
./$out/bin/orvex-sandbox show "$program"
echo
echo "To use the wizard itself, run ./$out/bin/orvex in a desktop session,"
echo "or here in a virtual display: xvfb-run -a ./$out/bin/orvex"
