#!/usr/bin/env bash
# Builds every build and runs every test: native unit tests, the same under AddressSanitizer +
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

count_ctest() { # adds the counts of a ctest log
    local line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
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
    count_ctest "$logdir/$build.log"
}

run_unit native -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_unit asan -j "$(nproc)"
# Only the tests that run threads gain from ThreadSanitizer.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_unit tsan -R 'Threaded' -j "$(nproc)"

echo "== fuzz smoke run (libFuzzer, a few seconds per target)"
tests/fuzz/run.sh smoke 2>&1 | tee "$logdir/fuzz.log" | tail -n 8
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
line=$(grep -E '^fuzz: [0-9]+ passed, [0-9]+ failed' "$logdir/fuzz.log" | tail -1)
if [ -n "$line" ]; then
    passed=$((passed + $(sed -E 's/^fuzz: ([0-9]+) passed.*/\1/' <<<"$line")))
    failed=$((failed + $(sed -E 's/^fuzz: [0-9]+ passed, ([0-9]+) failed.*/\1/' <<<"$line")))
else
    failed=$((failed + 1))
    status=1
fi

if ./scripts/build.sh win; then
    echo "== end-to-end tests under Wine"
    ./scripts/e2e.sh 2>&1 | tee "$logdir/e2e.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$logdir/e2e.log" | tail -1)
    if [ -n "$line" ]; then
        passed=$((passed + $(sed -E 's/^([0-9]+) passed.*/\1/' <<<"$line")))
        failed=$((failed + $(sed -E 's/^[0-9]+ passed, ([0-9]+) failed.*/\1/' <<<"$line")))
    else
        failed=$((failed + 1))
        status=1
    fi
else
    echo "!! Windows build failed"
    failed=$((failed + 1))
    status=1
fi

[ "$failed" -eq 0 ] || status=1
echo
echo "$passed passed, $failed failed"
exit $status
