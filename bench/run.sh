#!/usr/bin/env bash
# The copy benchmarks: builds engine_copy (native, optimised) and harvex.exe, hxprobe.exe and
# barecopy.exe (cross-built; only for the parts wine and memory), installs rsync, gnuplot, openssl
# and e2fsprogs when missing, and runs bench/bench.py in a private mount namespace so that no tmpfs
# outlives the run. The card model's loop devices and cgroup are not private: bench.py removes them
# on every way out but a KILL. Not part of the test run.
#
#   ./bench/run.sh [--quick] [bench.py options]     (./bench/run.sh --help lists them)
#
# A full run takes about twenty minutes and rewrites docs/benchmarks.md's results and
# docs/benchmark-ratios.png; --quick (trees at a tenth) takes about five minutes and writes only
# build/bench-results/. --parts card-model alone takes about seven minutes. Must run as root
# (mount, unshare, losetup, cgroups).
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
command -v openssl >/dev/null 2>&1 || need+=(openssl)
command -v mkfs.ext4 >/dev/null 2>&1 || need+=(e2fsprogs)
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
echo "bench: building"
# The Windows programs serve only the parts wine and memory (in the default set of parts).
parts="wine"
previous=""
for arg in "$@"; do
    case "$arg" in --parts=*) parts="${arg#--parts=}" ;; esac
    [ "$previous" = "--parts" ] && parts="$arg"
    previous="$arg"
done
cmake --build build/bench-release -j "$jobs" --target engine_copy >/dev/null
case ",$parts," in
*,wine,* | *,memory,*)
    configure build/bench-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
    cmake --build build/bench-win -j "$jobs" --target harvex hxprobe barecopy >/dev/null
    ;;
esac

# TERM first, so that the script stops its wine servers and X server and removes the card model's
# loop devices and cgroup; KILL a minute later. timeout runs inside the namespace, so its TERM goes
# to python itself.
exec unshare --mount --propagation private \
    timeout --kill-after=60 "${BENCH_TIMEOUT:-2400}" python3 bench/bench.py "$@"
