#!/usr/bin/env bash
# Installs, with apt-get, whatever this machine lacks to build and test Corvale.
set -euo pipefail
pkgs=(cmake make g++ pkg-config qt6-base-dev libgl-dev libsqlite3-dev sqlite3 libgtest-dev googletest
      python3 qt6-translations-l10n mdbtools-dev mdbtools)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installo: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
