#!/usr/bin/env bash
# Fuzzes the code that reads outside input with libFuzzer (clang, natively, under ASan + UBSan):
# volume notifications, colour texts, registry values (settings, drive records) and volume labels.
#
#   tests/fuzz/run.sh [smoke|full] [TARGET...]
#
# smoke: about 5 s per target (for scripts/test.sh); full (the default): 60 s per target.
# FUZZ_SECONDS overrides the time per target; FUZZ_BUILD the build folder (default build/fuzz).
# Inputs that made a target fail are kept in $FUZZ_BUILD/crashes. The last line is
# "fuzz: N passed, N failed"; the exit code is 1 when any target failed.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
mode="${1:-full}"
case "$mode" in
smoke) seconds="${FUZZ_SECONDS:-5}"; shift ;;
full) seconds="${FUZZ_SECONDS:-60}"; shift ;;
*) seconds="${FUZZ_SECONDS:-60}" ;;
esac
build="${FUZZ_BUILD:-build/fuzz}"
cxx="${FUZZ_CXX:-clang++-14}"
cc="${FUZZ_CC:-clang-14}"

# clang and its fuzzer runtime, once.
need=()
command -v "$cxx" >/dev/null 2>&1 || need+=(clang-14)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${need[@]}" || exit 1
fi

# The program's portable code, built once with the fuzzer's coverage and the sanitizers.
sanitize="address,undefined"
if [ ! -f "$build/core/build.ninja" ]; then
    cmake -S . -B "$build/core" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHARVEX_TESTS=OFF \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
        -DHARVEX_SANITIZE="fuzzer-no-link,$sanitize" >/dev/null || exit 1
fi
echo "== building the fuzz targets"
cmake --build "$build/core" -j 2 --target harvex_app harvex_platform_testdoubles >"$build/core-build.log" 2>&1 || {
    tail -30 "$build/core-build.log"
    exit 1
}

# The layers' libraries by name, with the tests' stand-ins for the system (the in-memory registry): an archive left by an older layout of the build must not be linked.
libraries=()
for layer in app service copy drives settings ui log platform; do
    libraries+=("$build/core/libharvex_$layer.a")
done
libraries+=("$build"/core/CMakeFiles/harvex_platform_testdoubles.dir/platform/testing/*.o)

# A target is rebuilt when it is older than its source, the shared input header or any library.
is_stale() {
    local input
    for input in "$@" "${libraries[@]}"; do
        [ "$build/$name" -nt "$input" ] || return 0
    done
    return 1
}

targets=()
for source in tests/fuzz/*_fuzz.cpp; do
    name="$(basename "$source" .cpp)"
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then
        continue
    fi
    targets+=("$name")
    if is_stale "$source" tests/fuzz/FuzzInput.h; then
        "$cxx" -std=c++20 -g -O1 -Wall -Wextra -Werror -I. -Itests/fuzz \
            -fsanitize=fuzzer,$sanitize -fno-sanitize-recover=all \
            "$source" -Wl,--start-group "${libraries[@]}" -Wl,--end-group -lcrypto -lpthread \
            -o "$build/$name" || exit 1
    fi
done

passed=0
failed=0
mkdir -p "$build/crashes"
for name in "${targets[@]}"; do
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    echo "== $name: ${seconds} s"
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$name-" "$corpus" >"$build/$name.log" 2>&1; then
        passed=$((passed + 1))
        grep -E '^stat::number_of_executed_units' "$build/$name.log" | sed "s/^/   /"
    else
        failed=$((failed + 1))
        echo "!! $name failed; input kept in $build/crashes"
        grep -v '^#' "$build/$name.log" | tail -40
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
