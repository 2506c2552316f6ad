#!/usr/bin/env bash
# Builds the release for Windows: dist/harvex-<version>-win64.zip holding harvex.exe, README.txt (the
# user guide as text), LICENSE.txt and SHA256SUMS, and prints the zip's SHA-256.
#
# The same commit gives the same bytes: the exe carries no time stamp and no build folder, and the
# zip's entries are dated SOURCE_DATE_EPOCH (default: the time of the commit checked out).
# HARVEX_BUILD_DIR (default build/win) is the Windows build used; only harvex.exe is built there.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

build=${HARVEX_BUILD_DIR:-build/win}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    echo "package: $build is not a Release build; remove it or set HARVEX_BUILD_DIR to another folder" >&2
    exit 2
fi
echo "== building harvex.exe in $build"
cmake --build "$build" --target harvex -j "$(nproc)"

epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
python3 scripts/release_zip.py --exe "$build/harvex.exe" --version "$(cat "$build/version.txt")" \
    --epoch "$epoch" --out dist
