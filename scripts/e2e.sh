#!/usr/bin/env bash
# Runs the end-to-end tests of harvex.exe under Wine on a private Xvfb. Builds nothing: it expects
# the cross-built harvex.exe and hxprobe.exe (HARVEX_EXE, default build/win/harvex.exe; HXPROBE_EXE,
# default beside it). Arguments go to tests/e2e/run.py (-v, -k PATTERN, test names).
# E2E_TIMEOUT (seconds, default 1800) bounds the whole run.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

export HARVEX_EXE="${HARVEX_EXE:-$root/build/win/harvex.exe}"
export HXPROBE_EXE="${HXPROBE_EXE:-$(dirname "$HARVEX_EXE")/hxprobe.exe}"
for exe in "$HARVEX_EXE" "$HXPROBE_EXE"; do
    if [ ! -f "$exe" ]; then
        echo "e2e: missing $exe (cross-build the harvex and hxprobe targets first)" >&2
        exit 2
    fi
done

# TERM first, so that the runner stops its X server and wine servers; KILL 30 s later.
exec timeout --kill-after=30 "${E2E_TIMEOUT:-1800}" python3 tests/e2e/run.py "$@"
