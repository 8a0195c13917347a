#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (ORVEX_SANITIZE=ON) in build-asan and runs every test there. Any sanitizer
# report fails the test that caused it, and with it this script. The build
# is -O1 with line tables only (CMakeLists.txt): reports still name each
# frame's function, file and line, and it compiles in half the time.
# The program's own sources compile in batches (ORVEX_UNITY_BUILD), as in the
# run command's build, so the whole suite also runs on what batches make.
# SANITIZE_CXX=clang++ builds with clang instead of the default g++;
# ORVEX_WERROR=ON (as scripts/test.sh sets it) fails the build on a warning.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
cxx="${SANITIZE_CXX:-g++}"
case "$cxx" in
  clang++*) cc="clang${cxx#clang++}" ;;
  *) cc="gcc${cxx#g++}" ;;
esac

# A build folder made with another compiler is started afresh.
if [ -f "$build/CMakeCache.txt" ] &&
   ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$(command -v "$cxx")" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi
source scripts/generator.sh
# shellcheck disable=SC2046  # no option or one
CC="$cc" CXX="$cxx" cmake $(cmake_generator "$build") -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVEX_UNITY_BUILD=ON -DORVEX_SANITIZE=ON -DORVEX_BUILD_SCREENS=ON -DORVEX_BUILD_BENCH=OFF -DORVEX_WERROR="${ORVEX_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_init_order=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 1200
