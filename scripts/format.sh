#!/usr/bin/env bash
# Checks that every C++ file follows .clang-format; with --fix, formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
# Tracked files and new ones not yet added (but not ignored ones), so a new file is checked too.
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    exec "$format" -i "${files[@]}"
fi
differing=$("$format" --dry-run "${files[@]}" 2>&1 | sed -nE 's/^([^ :]+):[0-9]+:[0-9]+: (warning|error):.*/\1/p' | sort -u)
if [ -n "$differing" ]; then
    echo "!! these files differ from .clang-format; fix them with: ./scripts/format.sh --fix"
    sed 's/^/   /' <<<"$differing"
    exit 1
fi
echo "format: every file follows .clang-format"
