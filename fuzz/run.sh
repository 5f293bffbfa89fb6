#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (into build-fuzz/) and runs each for a bounded time.
#   fuzz/run.sh [SECONDS_EACH]      (default 60)
# FUZZ_SEED=N fixes libFuzzer's random seed and FUZZ_RUNS=R stops each target after R inputs (the
# seconds stay an upper bound). With both, a run from the seeds alone (a fresh build-fuzz/) tries
# the same inputs on every machine: CI runs that way, so a CI failure is reproduced here at once.
# New inputs go to build-fuzz/corpus-<target>/; the seeds in fuzz/ stay as they are. A crash
# leaves its input in build-fuzz/ (crash-*) and makes the script fail: keep it as a regression
# test (an input in the target's seed folder, or a literal in the target's gtest) once fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-60}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
# clang and its libFuzzer runtime, with apt-get when missing (besides what the build needs).
"$root/scripts/deps.sh"
missing=()
for p in clang libclang-rt-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installo: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALE_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target dialect_fuzz ini_fuzz
seed=()
[ -z "${FUZZ_SEED:-}" ] || seed+=(-seed="$FUZZ_SEED")
[ -z "${FUZZ_RUNS:-}" ] || seed+=(-runs="$FUZZ_RUNS")
status=0
summary=()
# Each target's output goes to the terminal and to build-fuzz/<target>.log; what made a target
# fail (the sanitizer's or libFuzzer's report, the input it kept) is repeated at the very end,
# so that it is in the last lines of a long log.
run() {
  local target=$1 seeds=$2 rc=0
  shift 2
  mkdir -p "$build/corpus-$target"
  echo "== $target: $secs s ${seed[*]}" >&2
  (cd "$build" && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$build/fuzz/$target" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
     -print_final_stats=1 "${seed[@]}" "$@" "$build/corpus-$target" "$seeds") 2>&1 | tee "$build/$target.log" >&2 || rc=$?
  if [ "$rc" -eq 0 ]; then
    summary+=("$target: ok, $(grep -m1 -o 'Done [0-9]* runs' "$build/$target.log" || echo 'runs unknown')")
  else
    status=1
    summary+=("$target: FAILED (exit $rc)")
    summary+=("$(grep -E -m12 -A3 'ERROR|Deadly|SUMMARY|runtime error|out-of-memory|timeout|SQLite refused|breaks the reader|Test unit written|^INFO: Seed' "$build/$target.log")")
  fi
}
run dialect_fuzz "$root/fuzz/corpus" -max_len=512 -dict="$root/fuzz/dialect.dict"
run ini_fuzz "$root/fuzz/ini_corpus" -max_len=4096
printf '== fuzz summary\n' >&2
printf '%s\n' "${summary[@]}" >&2
exit $status
