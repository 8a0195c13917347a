#!/usr/bin/env bash
# Builds the libFuzzer target for the SOAP envelope parsers with clang and runs
# it for a bounded time (FUZZ_SECONDS, default 60). Fails on any crash,
# sanitizer report, timeout or out-of-memory of the target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVEX_FUZZ=ON -DORVEX_BUILD_SCREENS=OFF -DORVEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_soap_reply -j"$jobs"

# The fuzzer adds what it finds to the first corpus folder: work on a copy,
# so the seeds in the repository stay as they are.
work="$build/fuzz-work"
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp fuzz/corpus/* "$work/corpus/"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
"$build/bin/fuzz_soap_reply" "$work/corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 2>"$work/fuzz.log" || status=$?
tail -n 20 "$work/fuzz.log"
if [ "$status" -ne 0 ] || ls "$work/artifacts/"* >/dev/null 2>&1; then
  echo "fuzz: FAILED (exit $status); inputs in $work/artifacts" >&2
  exit 1
fi
echo "fuzz: no crash in ${seconds} s"
