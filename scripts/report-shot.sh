#!/usr/bin/env bash
# Writes the report of a check on a fresh default demo into shots/rapporto.html and renders it with
# Debian's headless Chromium into shots/rapporto.png (the whole screen view, at most ALTEZZA pixels tall,
# default 16000) and shots/rapporto.pdf (the printed view, A4), so that a reviewer can look at it.
# Installs chromium-headless-shell when it is missing. Not run by CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
shots="$root/shots"
altezza=${ALTEZZA:-16000}

if ! command -v chromium-headless-shell >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq chromium-headless-shell fonts-dejavu-core
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j2 --target corvale-cli
cli="$build/src/corvale-cli"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$shots"
"$cli" demo "$tmp/demo" >/dev/null 2>&1
# The demo has problems by design: check ends with 1.
rc=0
"$cli" controlla --programma "$tmp/demo" --html "$shots/rapporto.html" >/dev/null || rc=$?
[ "$rc" -le 1 ] || { echo "check non riuscito ($rc)" >&2; exit "$rc"; }

chrome=(chromium-headless-shell --disable-gpu --hide-scrollbars --user-data-dir="$tmp/profilo")
[ "$(id -u)" -ne 0 ] || chrome+=(--no-sandbox)
# The page's height, measured on a copy that writes it into its title (the report has no script).
sed 's|</body>|<script>document.title = document.documentElement.scrollHeight</script></body>|' \
  "$shots/rapporto.html" >"$tmp/misura.html"
alta=$("${chrome[@]}" --window-size=1000,1000 --dump-dom "file://$tmp/misura.html" 2>/dev/null |
  sed -n 's:.*<title>\([0-9]*\)</title>.*:\1:p')
[ -n "$alta" ] && [ "$alta" -le "$altezza" ] || alta=$altezza
"${chrome[@]}" --window-size=1000,"$alta" --screenshot="$shots/rapporto.png" \
  "file://$shots/rapporto.html" 2>/dev/null
"${chrome[@]}" --no-pdf-header-footer --print-to-pdf="$shots/rapporto.pdf" \
  "file://$shots/rapporto.html" 2>/dev/null
ls -l "$shots"/rapporto.*
