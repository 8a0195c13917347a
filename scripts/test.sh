#!/usr/bin/env bash
# Sets up the machine, builds ORVEX and runs every test: the main suite first
# (stopping there when it fails), then the whole suite again under the
# sanitizers (scripts/sanitize.sh) and the fuzz runs (scripts/fuzz.sh). The
# output ends with one summary of the three; its last line is the totals,
# "N passed, N failed". Exits non-zero when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
jobs=$(nproc)
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

declare -A passed failed note
stages=(main sanitize fuzz)
declare -A title=([main]="main suite" [sanitize]="sanitizer suite" [fuzz]="fuzz runs")

# Counts of a ctest run from its closing line "NN% tests passed, F tests failed out of T".
count_ctest() {  # stage, log, exit status
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$2" | tail -n 1)
  if [ -n "$line" ]; then
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    passed[$1]=$((total - bad)) failed[$1]=$bad
  else  # it stopped before any test ran: the build or the configuration failed
    passed[$1]=0 failed[$1]=$(($3 != 0))
  fi
  if [ "$3" -ne 0 ] && [ "${failed[$1]}" -eq 0 ]; then failed[$1]=1; fi
}

# Every build of this run fails on a compiler warning.
export ORVEX_WERROR=ON
source scripts/generator.sh
# The main build keeps line tables only (-g1): a failing test's backtrace
# still names function, file and line, and the tree compiles in less time.
main() {
  # shellcheck disable=SC2046  # no option or one
  cmake $(cmake_generator build) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_WERROR=ON \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" &&
    cmake --build build -j"$jobs" &&
    ctest --test-dir build --output-on-failure -j"$jobs"
}
main 2>&1 | tee "$logs/main.log"
count_ctest main "$logs/main.log" "${PIPESTATUS[0]}"

if [ "${failed[main]}" -eq 0 ]; then
  bash scripts/sanitize.sh 2>&1 | tee "$logs/sanitize.log"
  count_ctest sanitize "$logs/sanitize.log" "${PIPESTATUS[0]}"

  bash scripts/fuzz.sh 2>&1 | tee "$logs/fuzz.log"
  status=${PIPESTATUS[0]}
  # One line per fuzz target: "...: no crash in N s" or "... FAILED ...".
  passed[fuzz]=$(grep -c 'no crash in' "$logs/fuzz.log")
  failed[fuzz]=$(grep -c 'FAILED' "$logs/fuzz.log")
  if [ "$status" -ne 0 ] && [ "${failed[fuzz]}" -eq 0 ]; then failed[fuzz]=1; fi
else
  note[sanitize]="not run: the main suite failed"
  note[fuzz]="not run: the main suite failed"
fi

total_passed=0 total_failed=0
echo
echo "Summary"
for stage in "${stages[@]}"; do
  if [ -n "${note[$stage]:-}" ]; then
    printf '  %-16s %s\n' "${title[$stage]}:" "${note[$stage]}"
    continue
  fi
  printf '  %-16s %d passed, %d failed\n' "${title[$stage]}:" "${passed[$stage]}" "${failed[$stage]}"
  total_passed=$((total_passed + passed[$stage])) total_failed=$((total_failed + failed[$stage]))
done
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ] && [ -z "${note[sanitize]:-}" ]
