#!/usr/bin/env bash
# Every program of the project answers --help: exit status 0, the usage on
# standard output, and no file written where it runs or in the user's home.
# A program with subcommands (CLI11's "Subcommands:" list) is asked for each
# of them too. Arguments: the programs' paths.
set -u
source "$(dirname "$0")/support/checks.sh"
export HOME=$work/user XDG_CONFIG_HOME=$work/user/.config XDG_DATA_HOME=$work/user/.local/share \
    XDG_STATE_HOME=$work/user/.local/state QT_QPA_PLATFORM=offscreen
mkdir -p "$work/run" "$HOME"

# name, then the command line; the run's output lands in $work/out and $work/err.
answers_help() {
    local name=$1
    shift
    (cd "$work/run" && "$@" >"$work/out" 2>"$work/err")
    local status=$?
    local left
    left=$(find "$work/run" "$HOME" -mindepth 1 | head -n 3)
    if [ "$status" -ne 0 ]; then echo "$name: exit status $status"; cat "$work/err"; return 1; fi
    # CLI11 and Qt say "Usage:"; Google Benchmark lists its --benchmark_ options.
    if ! grep -qi 'usage:\|^benchmark \[--benchmark_' "$work/out"; then echo "$name: no usage on standard output"; return 1; fi
    if [ -n "$left" ]; then echo "$name: left $left"; return 1; fi
    return 0
}

for program in "$@"; do
    name=$(basename "$program")
    check "$name --help" answers_help "$name --help" "$program" --help
    # The subcommands CLI11 lists: two blanks, the name, blanks, its description.
    subcommands=$(sed -n '/^Subcommands:/,/^$/p' "$work/out" | sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p')
    for sub in $subcommands; do
        check "$name $sub --help" answers_help "$name $sub --help" "$program" "$sub" --help
    done
done
finish
