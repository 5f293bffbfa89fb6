#!/usr/bin/env bash
# Builds the two Debian packages, corvale-cli and corvale, from the tree into build-pkg/,
# stripped, and checks them with lintian when it is installed. The packages are left in build-pkg/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for p in dpkg-dev file; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
    || { $sudo apt-get update -qq; DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$p"; }
done
build=${PKG_BUILD_DIR:-$root/build-pkg}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvale corvale-cli corvale_pagine
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb
if command -v lintian >/dev/null; then
  lintian --suppress-tags-from-file "$root/packaging/lintian-ignorate" "$build"/*.deb || true
fi
