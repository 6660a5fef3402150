#!/bin/sh
# Runs the unit, render, e2e and reliability tiers of a KOVRA_SANITIZE build
# with every sanitizer report written to BUILD/sanitizer-logs, and fails if
# any process wrote one, also a process whose exit code no test looks at.
#   sanitized.sh BUILD [ctest options...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
logs=$(cd "$build" && pwd)/sanitizer-logs
rm -rf "$logs"
mkdir -p "$logs"

ASAN_OPTIONS="log_path=$logs/asan:detect_leaks=1"
LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
UBSAN_OPTIONS="log_path=$logs/ubsan:print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
ctest --test-dir "$build" -L '^(unit|render|e2e|reliability)$' --output-on-failure "$@"
status=$?

for report in "$logs"/*; do
    [ -e "$report" ] || continue
    echo "sanitized: a report in $report:"
    cat "$report"
    status=1
done
[ $status -eq 0 ] && echo "sanitized: no sanitizer report"
exit $status
