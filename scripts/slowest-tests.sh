#!/usr/bin/env bash
# Prints the slowest tests of the last ctest run in a build folder, from ctest's own log, so
# that a test growing slow shows up before it reaches its timeout.
set -euo pipefail
log="${1:-build}/Testing/Temporary/LastTest.log"
count="${2:-10}"
[ -f "$log" ] || exit 0
echo "Slowest tests:"
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
     /^Test time = / { printf "%8.2f s  %s\n", $4, name }' "$log" | sort -rn | head -n "$count"
