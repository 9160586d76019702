#!/usr/bin/env bash
# Installs what is missing, then configures, builds and tests every preset:
# native (sanitizers), win-wide and win-ansi (under Wine). Exits non-zero on
# any failure.
set -euo pipefail
. "$(dirname "$0")/headless.sh"
rerun_without_random_layout "$@"
cd "$(dirname "$0")/.."

"$(dirname "$0")/install-deps.sh"

status=0
for preset in native win-wide win-ansi; do
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" || { status=1; continue; }
done
[ $status -eq 0 ] || { echo "build failed" >&2; exit 1; }

for preset in native win-wide win-ansi; do
    echo "=== $preset: test"
    ctest --preset "$preset" || status=1
done
exit $status
