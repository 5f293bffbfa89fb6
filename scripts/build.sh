#!/usr/bin/env bash
# Configures and builds Corvale into build/ (or $BUILD_DIR). Extra arguments go to cmake's
# configure step (for example -DCORVALE_SANITIZE=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
