#!/usr/bin/env bash
# Runs a sanitized test, and once more only when its sole trouble was LeakSanitizer's own
# tracer crashing while it stopped the threads at exit (after every test had passed): any
# other failure stands, a sanitizer report that comes only now and then (a race) included.
# Args: COMMAND [ARGS...]
set -u
log=$(mktemp) || exit 1
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
[ "$status" = 0 ] && exit 0
tracer='LeakSanitizer has encountered a fatal error|Tracer caught signal'
# A report of the program's own fault, or a failed test case, beside the crash: no retry.
fault='ERROR: (AddressSanitizer|LeakSanitizer: detected)|runtime error:|ThreadSanitizer|\[  FAILED  \]'
if grep -qE "$tracer" "$log" && ! grep -qE "$fault" "$log"; then
    echo "retry_lsan_tracer: LeakSanitizer's tracer crashed at exit; running the test once more"
    "$@"
    status=$?
fi
exit "$status"
