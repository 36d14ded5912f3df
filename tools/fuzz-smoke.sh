#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for SECONDS (default 60)
# from its seed corpus in fuzz/corpus/, into a scratch copy (nothing is written
# into the tree). Fails on any finding: a crash, a sanitizer report, a leak, a
# timeout or running out of memory; the input is kept and its path printed.
#   tools/fuzz-smoke.sh [SECONDS]
set -uo pipefail
source "$(dirname "$0")/../fuzz/common.sh"

seconds=${1:-60}
fuzz_build || { echo "fuzz smoke: build failed" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-fuzz-smoke-XXXXXX")
failed=0
total=0
for t in "${FUZZ_TARGETS[@]}"; do
  mkdir -p "$scratch/$t/corpus"
  cp "$FUZZ_ROOT/fuzz/corpus/$t/"* "$scratch/$t/corpus/"
  start=$(date +%s)
  fuzz_run "$t" "$seconds" "$scratch/$t/log" "$scratch/$t/artifacts" "$scratch/$t/corpus"
  rc=$?
  runs=$(fuzz_executions "$scratch/$t/log")
  total=$((total + ${runs:-0}))
  echo "$t: ${runs:-?} executions in $(($(date +%s) - start)) s, exit $rc"
  findings=$(fuzz_findings "$scratch/$t/artifacts")
  if [ $rc -ne 0 ] || [ -n "$findings" ]; then
    failed=1
    echo "---- $t FAILED; the end of its log:"
    tail -60 "$scratch/$t/log"
    for a in $findings; do
      echo "input kept: $a (base64: $(base64 -w0 "$a" | head -c 2000))"
    done
  fi
done
echo "fuzz smoke: $total executions in all"
if [ $failed -ne 0 ]; then
  echo "fuzz smoke: FAILED (scratch directory kept: $scratch)"
  exit 1
fi
rm -rf "$scratch"
echo "fuzz smoke: no findings"
