#!/usr/bin/env bash
# The copy benchmarks: builds engine_copy (native, optimised) and harvex.exe, hxprobe.exe and
# barecopy.exe (cross-built), installs rsync and gnuplot when missing, and runs bench/bench.py in a
# private mount namespace so that no tmpfs outlives the run. Not part of the test run.
#
#   ./bench/run.sh [--quick] [bench.py options]     (./bench/run.sh --help lists them)
#
# A full run takes about ten minutes and rewrites docs/benchmarks.md's results and
# docs/benchmark-ratios.png; --quick (trees at a tenth) takes about three minutes and writes only
# build/bench-results/. Must run as root (mount, unshare).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if [ "$(id -u)" -ne 0 ]; then
    echo "bench: needs root (it mounts private tmpfs file systems)" >&2
    exit 2
fi
for arg in "$@"; do
    if [ "$arg" = "--help" ] || [ "$arg" = "-h" ]; then
        exec python3 bench/bench.py --help
    fi
done

./scripts/deps.sh
need=()
command -v rsync >/dev/null 2>&1 || need+=(rsync)
command -v gnuplot >/dev/null 2>&1 || need+=(gnuplot-nox)
if [ ${#need[@]} -gt 0 ]; then
    echo "bench: installing ${need[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
configure() {
    local dir=$1
    shift
    [ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}
configure build/bench-release -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure build/bench-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
echo "bench: building"
cmake --build build/bench-release -j "$jobs" --target engine_copy >/dev/null
cmake --build build/bench-win -j "$jobs" --target harvex hxprobe barecopy >/dev/null

# TERM first, so that the script stops its wine servers and X server; KILL a minute later.
exec timeout --kill-after=60 "${BENCH_TIMEOUT:-2400}" \
    unshare --mount --propagation private python3 bench/bench.py "$@"
