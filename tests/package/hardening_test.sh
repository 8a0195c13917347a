#!/usr/bin/env bash
# The programs as built carry the hardening of a packaged Debian program:
# every C++ unit compiled with stack canaries, stack clash probes and
# control-flow protection (as its debug information records), canaries that
# reach the program, a read-only global offset table and position-independent
# code.
# Usage: hardening_test.sh PROGRAM...
set -uo pipefail
source "$(dirname "$0")/../support/checks.sh"

for program in "$@"; do
    name=$(basename "$program")
    readelf --debug-dump=info "$program" 2>/dev/null | grep 'DW_AT_producer.*GNU C++' | sort -u \
        >"$work/$name.units"
    check "$name: debug information names its C++ units" test -s "$work/$name.units"
    for flag in -fstack-protector-strong -fstack-clash-protection -fcf-protection; do
        if grep -v -e "$flag" "$work/$name.units" >"$work/$name.without"; then
            echo "$name: units built without $flag:"
            head -n 3 "$work/$name.without"
            check "$name: every unit built with $flag" false
        else
            check "$name: every unit built with $flag" true
        fi
    done
    check "$name: stack canaries checked" grep -q '__stack_chk_fail' <<<"$(nm -D "$program")"
    check "$name: global offset table read-only" grep -q 'BIND_NOW' <<<"$(readelf -d "$program")"
    check "$name: position-independent" grep -q 'DYN' <<<"$(readelf -h "$program")"
done
finish
