# The checks of the shell tests, sourced by them: each check prints "ok:" or
# "FAILED:" with what it checks, and a failed one sets failed=1 (the test
# exits with it).
failed=0

expect() {  # expect <what is checked> <command> [arguments...]
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

# The first text is the second; otherwise prints both.
same() { [ "$1" = "$2" ] || { printf '  expected: %s\n  got:      %s\n' "$2" "$1"; return 1; }; }
