#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for its share of a
# bounded time (FUZZ_SECONDS in all, default 90): the SOAP envelope parsers,
# the request path of the served sandbox (logon, envelope, call), the
# sandbox's Open SQL condition parser, design files into programs, and the
# readers of ADT answers. Fails on any crash, sanitizer report, timeout or
# out-of-memory of a target. ORVEX_WERROR=ON (as scripts/test.sh sets it)
# fails the build on a warning.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-90}"
build=build-fuzz
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
# target and its share of the time, in percent
targets=(fuzz_soap_reply:25 fuzz_soap_server:25 fuzz_open_sql_condition:15 fuzz_design:20 fuzz_adt_answers:15)

source scripts/generator.sh
# In batches, as the run command's build: clang compiles them here.
# shellcheck disable=SC2046  # no option or one
CC=clang CXX=clang++ cmake $(cmake_generator "$build") -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVEX_UNITY_BUILD=ON -DORVEX_FUZZ=ON -DORVEX_BUILD_SCREENS=OFF -DORVEX_BUILD_BENCH=OFF -DORVEX_WERROR="${ORVEX_WERROR:-OFF}" >/dev/null
cmake --build "$build" --target "${targets[@]%%:*}" -j"$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for entry in "${targets[@]}"; do
  target="${entry%%:*}"
  share=$(( seconds * ${entry##*:} / 100 ))
  (( share > 0 )) || share=1
  # The fuzzer adds what it finds to the first corpus folder: work on a copy,
  # so the seeds in the repository stay as they are.
  work="$build/fuzz-work/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp "fuzz/corpus/$target/"* "$work/corpus/"
  status=0
  "$build/bin/$target" "$work/corpus" \
    -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 2>"$work/fuzz.log" || status=$?
  echo "== $target (${share} s)"
  tail -n 12 "$work/fuzz.log"
  if [ "$status" -ne 0 ] || ls "$work/artifacts/"* >/dev/null 2>&1; then
    echo "fuzz: $target FAILED (exit $status); inputs in $work/artifacts" >&2
    failed+=("$target")
  else
    echo "fuzz: $target: no crash in ${share} s"
  fi
done
if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran ${seconds} s in all without a crash"
