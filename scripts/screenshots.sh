#!/usr/bin/env bash
# Saves a picture of every state and box of both windows into shots/ (or the folder given):
# the main window closed and open, the version gate's boxes, the folder chooser, the maintenance
# window in each mode for a structure task and for each kind of data task, and the corrections
# list with its outcomes (a failed row, a failed index rebuild and an attribute row that cannot be
# applied, kept after the re-check, each with its reason in the detail box).
# Drawn on the offscreen platform, with Qt's Italian texts, from small archives made on the spot.
# Not run by CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
shots=${1:-$root/shots}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j2 --target test_app
mkdir -p "$shots"
CORVALE_SHOTS="$shots" QT_QPA_PLATFORM=offscreen \
  "$build/tests/test_app" --gtest_filter='Istantanee.*'
ls -l "$shots"
