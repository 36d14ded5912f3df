#!/usr/bin/env bash
# Sums the executions of the long fuzzing runs kept in fuzz/work/TARGET/logs:
# a run's final statistics, or for a run stopped before printing them the last
# progress line it wrote. A run that ended in a finding does not count (it is
# listed apart). With a stamp (YYYYMMDD-HHMMSS) only runs started at or after
# it count. Also counts the findings left in the artifact directories.
#   tools/fuzz-count.sh [STAMP]
set -uo pipefail
source "$(dirname "$0")/../fuzz/common.sh"
since=${1:-}
for t in "${FUZZ_TARGETS[@]}"; do
  logs="$FUZZ_ROOT/fuzz/work/$t/logs"
  total=0
  runs=0
  failed=0
  for log in "$logs"/*.log; do
    [ -e "$log" ] || continue
    name=$(basename "$log")
    [ -n "$since" ] && [[ "$name" < "$since" ]] && continue
    if grep -q -E '^==[0-9]+== ?ERROR: |^SUMMARY: (libFuzzer|AddressSanitizer|UndefinedBehaviorSanitizer|LeakSanitizer)' "$log"; then
      failed=$((failed + 1))
      continue
    fi
    n=$(fuzz_executions "$log")
    [ -z "$n" ] && n=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -1)
    total=$((total + ${n:-0}))
    runs=$((runs + 1))
  done
  findings=$(fuzz_findings "$FUZZ_ROOT/fuzz/work/$t/artifacts" 2> /dev/null | wc -l)
  printf '%-22s %12d executions in %d runs; %d runs ended in a finding; %d findings kept\n' "$t" "$total" "$runs" \
    "$failed" "$findings"
done
