#!/usr/bin/env bash
# Crash test (not run by CI): kills corvale-cli at random moments during repair-structure and during
# record corrections, on fresh copies of a demo, and checks each archive left behind.
#   tests/crash/run.sh [KILLS_PER_ACTION] [ORDERS] [ONLY]   (ONLY: run the actions whose label contains it)
# Uses build/src/corvale-cli (or $CORVALE_CLI); builds it first when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cli=${CORVALE_CLI:-$root/build/src/corvale-cli}
if [ ! -x "$cli" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" -j2 --target corvale-cli
fi
exec python3 "$root/tests/crash/crash.py" --cli "$cli" --kills "${1:-200}" --orders "${2:-20000}" ${3:+--only "$3"}
