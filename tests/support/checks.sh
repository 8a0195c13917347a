# What the shell tests share: a scratch folder removed on exit, a counted
# check, and the closing count. Sourced, not run.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # name, then a command that must succeed
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
# The last line of the test: the counts, and the test's status.
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
