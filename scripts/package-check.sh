#!/usr/bin/env bash
# Builds the two Debian packages (scripts/package.sh), installs them on this machine with their
# dependencies, runs corvale-cli from /usr/bin on a fresh demo (help, demo, controlla) and removes them
# again. Run by CI; needs root (or sudo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
"$root/scripts/package.sh" "$@"
build=${PKG_BUILD_DIR:-$root/build-pkg}
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$build"/corvale-cli_*.deb "$build"/corvale_*.deb
trap 'DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq corvale corvale-cli >/dev/null' EXIT
demo=$(mktemp -d)
/usr/bin/corvale-cli --help >/dev/null
/usr/bin/corvale-cli demo "$demo/demo" >/dev/null
stato=0
/usr/bin/corvale-cli controlla --programma "$demo/demo" >/dev/null || stato=$?
rm -rf "$demo"
# check: 0 nothing found, 1 problems found (the demo has them on purpose); 2 would be a failure.
[ "$stato" -le 1 ] || { echo "corvale-cli controlla installato: stato $stato" >&2; exit 1; }
test -x /usr/bin/corvale
test -f /usr/share/applications/corvale.desktop
man -w corvale-cli >/dev/null 2>&1 || test -f /usr/share/man/man1/corvale-cli.1.gz
echo "pacchetti: installati, provati e rimossi"
