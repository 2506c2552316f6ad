#!/usr/bin/env bash
# Builds the requested builds: native (tests), asan (address + undefined behaviour), tsan, win (harvex.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

configure() {
    local dir=$1
    shift
    [ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

for build in "$@"; do
    case "$build" in
    native) configure build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    asan) configure build/asan -DCMAKE_BUILD_TYPE=Debug -DHARVEX_SANITIZE=address,undefined ;;
    tsan) configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DHARVEX_SANITIZE=thread ;;
    win) configure build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release ;;
    *) echo "unknown build: $build" >&2; exit 2 ;;
    esac
    echo "== building $build"
    cmake --build "build/$build" -j "$jobs"
done
