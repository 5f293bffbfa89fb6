#!/usr/bin/env bash
# Saves a picture of the main window in each state (closed, open) into shots/, drawn on the
# offscreen platform from a small archive made on the spot. Not run by CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j2 --target test_app
mkdir -p "$root/shots"
CORVALE_SHOTS="$root/shots" QT_QPA_PLATFORM=offscreen \
  "$build/tests/test_app" --gtest_filter='Istantanee.*'
ls -l "$root/shots"
