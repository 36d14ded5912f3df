# Shared by fuzz-smoke.sh and fuzz-long.sh: the list of targets, the clang build
# of them, and one libFuzzer run whose executions are counted.
FUZZ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FUZZ_BUILD=${QUILLON_FUZZ_BUILD:-/tmp/build-fuzz}
case $FUZZ_BUILD in /*) ;; *) FUZZ_BUILD=$PWD/$FUZZ_BUILD ;; esac
FUZZ_TARGETS=(fuzz_telnet_vt100 fuzz_telnet_3270 fuzz_inbound_3270 fuzz_vt100_parser fuzz_settings fuzz_window_messages
  fuzz_script_line fuzz_model_3270 fuzz_tn3270e)

fuzz_build() {
  if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is needed (Debian packages clang and libclang-rt-dev)" >&2
    return 1
  fi
  CC=clang CXX=clang++ cmake -S "$FUZZ_ROOT" -B "$FUZZ_BUILD" -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF >/dev/null &&
    cmake --build "$FUZZ_BUILD" -j"$(nproc)" --target quillon_fuzz_targets >/dev/null
}

fuzz_known_target() {
  local t
  for t in "${FUZZ_TARGETS[@]}"; do [ "$t" = "$1" ] && return 0; done
  return 1
}

# fuzz_run TARGET SECONDS LOG ARTIFACT_DIR CORPUS_DIR [MORE_CORPUS_DIRS...]
# New inputs go to the first corpus directory. The targets change their current
# directory, so every path is made absolute.
fuzz_run() {
  local target=$1 seconds=$2 log=$3 artifacts=$4
  shift 4
  local dirs=() d
  for d in "$@"; do dirs+=("$(cd "$d" && pwd)"); done
  local dict=()
  [ -f "$FUZZ_ROOT/fuzz/$target.dict" ] && dict=(-dict="$FUZZ_ROOT/fuzz/$target.dict")
  mkdir -p "$artifacts"
  artifacts=$(cd "$artifacts" && pwd)
  "$FUZZ_BUILD/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=25 -rss_limit_mb=2560 \
    "${dict[@]}" -artifact_prefix="$artifacts/" "${dirs[@]}" >"$log" 2>&1
}

# The executions a run's log reports (libFuzzer's final statistics).
fuzz_executions() {
  sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -1
}

# Findings a run left in an artifact directory: crashes, leaks, timeouts and
# running out of memory (slow-unit-* files only note slow inputs).
fuzz_findings() {
  find "$1" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort
}
