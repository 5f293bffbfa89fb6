#!/usr/bin/env bash
# Builds Corvale with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (or
# $ASAN_BUILD_DIR) and runs the whole suite there, leaks included. Fails on a failing test and on
# any sanitizer report, also one from a corvale-cli a test started and whose exit it expected.
#   scripts/sanitize-check.sh [ctest arguments, e.g. -R TransactionsTest]
# The build is as cheap as it can be while every file of ours is instrumented: Debug at -O1 with
# line tables only (-g1), ccache when present, and only the test programs and the programs they
# run (no benchmarks, fuzzers or packages). Each process writes its reports to
# <build>/sanitizer/report.<program>.<pid>, so that a child's report does not mix with the output
# a test reads; the end of the log repeats the failing tests and the reports ("== sanitizer
# summary").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
jobs=${JOBS:-$(nproc)}
"$root/scripts/deps.sh"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCORVALE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" "${launcher[@]}" >/dev/null
# The test programs, corvale-cli they start, and corvale-forme the stored-forms tests run.
mapfile -t targets < <(cmake --build "$build" --target help | sed -n 's/^\.\.\. \(test_[a-z]*\)$/\1/p')
t0=$SECONDS
cmake --build "$build" -j"$jobs" --target corvale-cli corvale-forme "${targets[@]}"
echo "== sanitized build: $((SECONDS - t0)) s" >&2

reports=$build/sanitizer
rm -rf "$reports"
mkdir -p "$reports"
status=0
t0=$SECONDS
(cd "$build" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0:log_path="$reports/report":log_exe_name=1 \
  LSAN_OPTIONS=suppressions="$root/scripts/lsan.supp":print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions="$root/scripts/ubsan.supp":log_path="$reports/report":log_exe_name=1 \
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout "${CTEST_TIMEOUT:-900}" "$@") || status=$?
echo "== sanitized tests: $((SECONDS - t0)) s" >&2

# What failed, at the very end of a long log: the tests ctest names, then each report, cut to its
# first lines (the error, the frames that lead to it, the sanitizer's own summary line).
mapfile -t found < <(find "$reports" -type f | sort)
printf '== sanitizer summary\n' >&2
if [ "$status" -ne 0 ] && [ -s "$build/Testing/Temporary/LastTestsFailed.log" ]; then
  sed 's/^[0-9]*:/failed: /' "$build/Testing/Temporary/LastTestsFailed.log" >&2
fi
for f in "${found[@]}"; do
  echo "-- report ${f#"$reports"/}" >&2
  grep -E -m1 'ERROR:|runtime error:' "$f" >&2 || true
  grep -E -m10 '^ +#[0-9]+ ' "$f" >&2 || true
  grep -E -m1 '^SUMMARY:' "$f" >&2 || true
done
if [ ${#found[@]} -gt 0 ]; then
  echo "${#found[@]} sanitizer report(s), kept in $reports" >&2
  status=1
elif [ "$status" -eq 0 ]; then
  echo "every test passed, no sanitizer report" >&2
fi
exit $status
