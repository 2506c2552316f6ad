#!/usr/bin/env bash
# Builds every build and runs every test: the formatting check, native unit tests, the same under AddressSanitizer +
# UndefinedBehaviorSanitizer and under ThreadSanitizer, a short fuzzing run, then the end-to-end
# tests of harvex.exe under Wine. Ends with one line "N passed, N failed" over all of them.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh || exit 1

passed=0
failed=0
status=0
logdir=build/test-logs
mkdir -p "$logdir"

# Adds the counts of a step's log to the totals. Every runner ends with a summary line: ctest's
# "N% tests passed, F tests failed out of T", or "[word:] P passed, F failed". A log without one
# counts as one failure.
count_log() {
    local line p f
    line=$(grep -E '(tests passed, [0-9]+ tests? failed out of [0-9]+|^([a-z]+: )?[0-9]+ passed, [0-9]+ failed)' "$1" | tail -1)
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        f=${BASH_REMATCH[1]}
        p=$((BASH_REMATCH[2] - f))
    elif [[ $line =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
        p=${BASH_REMATCH[1]}
        f=${BASH_REMATCH[2]}
    else
        p=0
        f=1
        status=1
    fi
    passed=$((passed + p))
    failed=$((failed + f))
}

run_unit() { # build name, extra ctest arguments
    local build=$1
    shift
    if ! ./scripts/build.sh "$build"; then
        echo "!! $build build failed"
        failed=$((failed + 1))
        status=1
        return
    fi
    echo "== unit tests ($build)"
    (cd "build/$build" && ctest --output-on-failure --timeout 300 "$@") 2>&1 | tee "$logdir/$build.log" | tail -n 15
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count_log "$logdir/$build.log"
}

echo "== formatting"
if ./scripts/format.sh 2>&1 | tee "$logdir/format.log"; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    status=1
fi

run_unit native -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_unit asan -j "$(nproc)"
# Every test, so that no test that starts a thread can be left out (about half a minute).
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_unit tsan -j "$(nproc)"

echo "== fuzz smoke run (libFuzzer, a few seconds per target)"
tests/fuzz/run.sh smoke 2>&1 | tee "$logdir/fuzz.log" | tail -n 8
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count_log "$logdir/fuzz.log"

if ./scripts/build.sh win; then
    echo "== end-to-end tests under Wine"
    ./scripts/e2e.sh 2>&1 | tee "$logdir/e2e.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count_log "$logdir/e2e.log"
else
    echo "!! Windows build failed"
    failed=$((failed + 1))
    status=1
fi

[ "$failed" -eq 0 ] || status=1
echo
echo "$passed passed, $failed failed"
exit $status
