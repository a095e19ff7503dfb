# The checks of the shell tests, sourced by them: each check prints "ok:" or
# "FAILED:" with what it checks, and a failed one sets failed=1 (the test
# exits with it, or ends with finish).
failed=0
checks=0
failures=0

expect() {  # expect <what is checked> <command> [arguments...]
    local what=$1
    shift
    checks=$((checks + 1))
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; failures=$((failures + 1)); fi
}

# finish: prints how many checks ran and failed, and ends the test with failed.
finish() {
    echo "$checks checks, $failures failed"
    exit "$failed"
}

# The first text is the second; otherwise prints both.
same() { [ "$1" = "$2" ] || { printf '  expected: %s\n  got:      %s\n' "$2" "$1"; return 1; }; }
