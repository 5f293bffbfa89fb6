#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds again with AddressSanitizer
# and UndefinedBehaviorSanitizer into build-asan/ and runs the whole suite there too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
(cd "${BUILD_DIR:-$root/build}" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

# Sanitizers (with CORVALE_SANITIZE=1): a Debug build at -O1 keeps the run short; leaks are
# reported, and only the third-party leaks listed in scripts/lsan.supp are passed over.
[ "${CORVALE_SANITIZE:-0}" = 1 ] || exit 0
asan=${ASAN_BUILD_DIR:-$root/build-asan}
BUILD_DIR="$asan" BUILD_TYPE=Debug "$root/scripts/build.sh" -DCORVALE_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_C_FLAGS_DEBUG="-g -O1"
cd "$asan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0 \
LSAN_OPTIONS=suppressions="$root/scripts/lsan.supp":print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions="$root/scripts/ubsan.supp" \
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 600
