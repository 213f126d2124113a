#!/usr/bin/env bash
# The sanitized tests' retry: only LeakSanitizer's tracer crash at exit earns a second run;
# a sanitizer report, even one that would not come back on the next run, fails at once.
# Stand-in tests print what a sanitized run prints and pass on their second run.
# Args: SOURCE_DIR
set -u
source=$(readlink -f "$1")
wrapper="$source/tests/support/retry_lsan_tracer.sh"
. "$source/tests/support/e2e_lib.sh"
new_work_dir work
trap 'rm -rf "$work"' EXIT
failures=0

# case LABEL WANT_STATUS WANT_RUNS FIRST_OUTPUT: a stand-in that prints FIRST_OUTPUT and
# fails on its first run, then passes silently; the wrapper must end with WANT_STATUS
# after WANT_RUNS runs.
case_() {
    local label=$1 want=$2 runs=$3 output=$4 rc ran
    rm -f "$work/runs"
    cat >"$work/test" <<EOF
#!/usr/bin/env bash
echo run >>"$work/runs"
[ "\$(wc -l <"$work/runs")" -gt 1 ] && exit 0
printf '%s\n' "$output" >&2
exit 1
EOF
    chmod +x "$work/test"
    "$wrapper" "$work/test" >"$work/out" 2>&1
    rc=$?
    ran=$(wc -l <"$work/runs")
    if [ "$rc" = "$want" ] && [ "$ran" = "$runs" ]; then
        echo "PASS: $label: status $rc after $ran run(s)"
    else
        echo "FAIL: $label: status $rc after $ran run(s), wanted $want after $runs"
        failures=$((failures + 1))
    fi
}

case_ "a use after free that comes and goes" 1 1 \
    "==42==ERROR: AddressSanitizer: heap-use-after-free on address 0x602000000010"
case_ "a leak report" 1 1 "==42==ERROR: LeakSanitizer: detected memory leaks"
case_ "undefined behaviour" 1 1 "shell/frame_clock.cpp:10:5: runtime error: signed integer overflow"
case_ "a failed test case" 1 1 "[  FAILED  ] FrameClock.StepsAtSixtyHertz"
case_ "the tracer's crash" 0 2 "Tracer caught signal 11: addr=0x0 pc=0x4a8e1c sp=0x7f0c1ffd0d10
==42==LeakSanitizer has encountered a fatal error."
case_ "the tracer's crash beside a failed test case" 1 1 "[  FAILED  ] Schedule.EndsAt120
==42==LeakSanitizer has encountered a fatal error."
grep -q "LeakSanitizer has encountered" "$work/out" && echo "PASS: the first run's output is shown" ||
    { echo "FAIL: the first run's output is lost"; failures=$((failures + 1)); }

# The sanitized test preset leaves retries to the wrapper: ctest's own repeat would retry
# every failure.
if grep -q '"until-pass"' "$source/CMakePresets.json"; then
    echo "FAIL: CMakePresets.json repeats failed tests until they pass"
    failures=$((failures + 1))
else
    echo "PASS: no test preset repeats failed tests until they pass"
fi
exit "$failures"
