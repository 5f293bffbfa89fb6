#!/usr/bin/env bash
# Checks that every C++ file of the project is laid out as .clang-format says (clang-format 14,
# Debian's; installed with apt-get when missing). With --fix it rewrites the files instead.
#   scripts/format-check.sh [--fix]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installo: clang-format" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang-format
fi
# The sources themselves (a checkout need not be a git repository).
mapfile -t files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
# --dry-run names each line that would change; the files are listed once each.
diversi=$(clang-format --dry-run "${files[@]}" 2>&1 | grep -oE "^[^: ]+:[0-9]+:[0-9]+: warning" | cut -d: -f1 | sort -u || true)
if [ -n "$diversi" ]; then
  sed 's/^/non formattato: /' <<<"$diversi" >&2
  echo "Formato non conforme: scripts/format-check.sh --fix" >&2
  exit 1
fi
