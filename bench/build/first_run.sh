#!/usr/bin/env bash
# What a new developer waits for, old against new: clones the given commit and
# HEAD into fresh folders, one after the other in the same run, and times in
# each the run command (scripts/run.sh without a display: packages, build of
# the three programs, the example report created in the sandbox), the test
# command (scripts/test.sh, every stage) and a rebuild of the wizard after one
# screen's source was touched. The compiler cache is off, as on a machine that
# never built ORVEX. Prints each step's time and the ratio new/old.
#
# Usage: bench/build/first_run.sh [--no-test] [--cache] OLD-COMMIT
#   --no-test  skip the test command (the longest step by far)
#   --cache    keep the compiler cache on (a developer's second clone)
# Not a test: the figures depend on the machine and its load; note both.
set -euo pipefail
run_tests=1 cache=0
while [ $# -gt 1 ]; do
  case "$1" in
    --no-test) run_tests=0 ;;
    --cache) cache=1 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ $# -eq 1 ] || { echo "usage: $0 [--no-test] [--cache] OLD-COMMIT" >&2; exit 2; }
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
old=$(git -C "$repo" rev-parse --verify "$1^{commit}")
new=$(git -C "$repo" rev-parse --verify HEAD)
work=$(mktemp -d /tmp/orvex-first-run.XXXXXX)
[ "$cache" -eq 1 ] || export CCACHE_DISABLE=1
# The run command starts the wizard when it finds a display; here it must not.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

keep=0  # the logs stay when a step failed
trap '[ "$keep" -eq 1 ] || rm -rf "$work"' EXIT
declare -A took
steps=(run build touch test)
declare -A title=([run]="run command" [build]="  its build step" [touch]="rebuild after one screen"
                  [test]="test command")

# The folder a clone's run command built the programs in (build, or
# build-release since the run command builds apart from the tests).
program_dir() {
  local wizard
  wizard=$(ls -d "$1"/*/bin/orvex | head -n 1)
  dirname "$(dirname "$wizard")"
}

measure() {  # name, commit
  local name=$1 commit=$2 dir=$work/$1 start log
  git clone -q "$repo" "$dir"
  git -C "$dir" checkout -q "$commit"
  log=$work/$name-run.log
  start=$SECONDS
  (cd "$dir" && bash scripts/run.sh) >"$log" 2>&1 || { echo "$name: run command failed, see $log" >&2; keep=1; exit 1; }
  took[$name.run]=$((SECONDS - start))
  # run.sh says "Building ... done (N s)" for its build step.
  took[$name.build]=$(sed -nE 's/^Building .*done \(([0-9]+) s\)$/\1/p' "$log" | tail -n 1)
  local built
  built=$(program_dir "$dir")
  touch "$dir/screens/frmFields.cpp"
  start=$SECONDS
  cmake --build "$built" -j"$(nproc)" --target orvex >/dev/null
  took[$name.touch]=$((SECONDS - start))
  if [ "$run_tests" -eq 1 ]; then
    log=$work/$name-test.log
    start=$SECONDS
    (cd "$dir" && bash scripts/test.sh) >"$log" 2>&1 || { echo "$name: test command failed, see $log" >&2; keep=1; }
    took[$name.test]=$((SECONDS - start))
    echo "$name: $(tail -n 1 "$log")"
  fi
}

echo "old $old, new $new; machine: $(nproc) cores, $(free -g | awk '/^Mem/ {print $2}') GiB;" \
     "load before: $(cut -d' ' -f1-3 /proc/loadavg); cache $([ "$cache" -eq 1 ] && echo on || echo off)"
measure old "$old"
measure new "$new"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-26s %8s %8s %8s\n' step "old s" "new s" new/old
for step in "${steps[@]}"; do
  o=${took[old.$step]:-} n=${took[new.$step]:-}
  [ -n "$o" ] && [ -n "$n" ] || continue
  ratio=$(awk -v o="$o" -v n="$n" 'BEGIN { if (o > 0) printf "%.2f", n / o; else print "-" }')
  printf '%-26s %8s %8s %8s\n' "${title[$step]}" "$o" "$n" "$ratio"
done
