#!/usr/bin/env bash
# Long fuzzing runs that keep their corpus: fuzz/work/TARGET/corpus (git-ignored)
# grows from run to run, seeded from fuzz/corpus/TARGET; findings (crash-*,
# leak-*, timeout-*, oom-*) and slow inputs land in fuzz/work/TARGET/artifacts. JOBS processes share one target's corpus; with
# "all" the targets run one after another, each for SECONDS.
#   tools/fuzz-long.sh TARGET|all SECONDS [JOBS]
set -uo pipefail
source "$(dirname "$0")/../fuzz/common.sh"

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET|all SECONDS [JOBS]   (targets: ${FUZZ_TARGETS[*]})" >&2
  exit 2
fi
which=$1
seconds=$2
jobs=${3:-1}
if [ "$which" = all ]; then
  targets=("${FUZZ_TARGETS[@]}")
elif fuzz_known_target "$which"; then
  targets=("$which")
else
  echo "unknown target $which (targets: ${FUZZ_TARGETS[*]})" >&2
  exit 2
fi
fuzz_build || { echo "fuzz long: build failed" >&2; exit 1; }

failed=0
for t in "${targets[@]}"; do
  work="$FUZZ_ROOT/fuzz/work/$t"
  mkdir -p "$work/corpus" "$work/artifacts" "$work/logs"
  stamp=$(date +%Y%m%d-%H%M%S)
  before=$(fuzz_findings "$work/artifacts" | wc -l)
  pids=()
  for j in $(seq 1 "$jobs"); do
    fuzz_run "$t" "$seconds" "$work/logs/$stamp-$j.log" "$work/artifacts" "$work/corpus" "$FUZZ_ROOT/fuzz/corpus/$t" &
    pids+=($!)
  done
  runs=0
  for j in $(seq 1 "$jobs"); do
    wait "${pids[$((j - 1))]}" || failed=1
    n=$(fuzz_executions "$work/logs/$stamp-$j.log")
    echo "$t job $j: ${n:-?} executions (log $work/logs/$stamp-$j.log)"
    runs=$((runs + ${n:-0}))
  done
  echo "$t: $runs executions in $seconds s with $jobs job(s); corpus $(ls "$work/corpus" | wc -l) files"
  if [ "$(fuzz_findings "$work/artifacts" | wc -l)" -gt "$before" ]; then
    failed=1
    echo "$t: new findings in $work/artifacts"
  fi
done
exit $failed
