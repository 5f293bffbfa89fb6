#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; with CORVALE_SANITIZE=1 it then builds again
# with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs the whole suite
# there too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
(cd "${BUILD_DIR:-$root/build}" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

# Sanitizers (with CORVALE_SANITIZE=1): the whole suite once more, built with AddressSanitizer
# and UndefinedBehaviorSanitizer into build-asan/ (scripts/sanitize-check.sh); leaks are reported,
# and only the third-party leaks listed in scripts/lsan.supp are passed over.
[ "${CORVALE_SANITIZE:-0}" = 1 ] || exit 0
exec "$root/scripts/sanitize-check.sh"
