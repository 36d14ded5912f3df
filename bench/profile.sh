#!/usr/bin/env bash
# Where the time goes: each benchmark once under callgrind (instruction counts,
# so the machine's load does not matter) on the small inputs (make-inputs.py
# --small), collecting only inside the measured calls. Prints for each the
# functions with the most instructions of their own, then the most including
# their callees. Needs a build made by bench/run.sh (BUILD_DIR, default
# build-bench) and valgrind.
#
#   bench/profile.sh [BENCHMARK_REGEX]
#
# "script" names quillon-script under callgrind for 1,000 round trips of
# quillon-script-bench against the demo host (its connection and logon included).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-$PWD/build-bench}
filter=${1:-.}
top=${TOP:-12}
command -v valgrind > /dev/null || { echo "valgrind is not installed" >&2; exit 1; }
[ -x "$build/bench/quillon_bench" ] || { echo "no $build/bench/quillon_bench: run bench/run.sh first" >&2; exit 1; }
small=$build/bench-inputs-small
python3 bench/make-inputs.py --small "$small" > /dev/null
out=$build/profile
mkdir -p "$out"

# benchmark name, then the functions whose calls are collected (the connected
# runs: the terminal's message loop during the passes; the host's thread and
# the connection's set-up are not collected)
profiles=(
  "vt100-plain/quillon ParseData"
  "vt100-csi/quillon ParseData"
  "vt100-unrecognised/quillon ParseData"
  "vt100-plain/libvterm vterm_input_write vterm_screen_flush_damage"
  "vt100-csi/libvterm vterm_input_write vterm_screen_flush_damage"
  "vt100-unrecognised/libvterm vterm_input_write vterm_screen_flush_damage"
  "vt100-plain/telnet bench::TerminalSession::runUntil*"
  "vt100-plain/tls bench::TerminalSession::runUntil*"
  "tn3270_records/quillon ParseData"
  "tn3270_extended_records/quillon ParseData"
  "tn3270_build_input/quillon CommTcp::build_input*"
)

summary() {  # summary FILE: the functions with the most instructions, own and inclusive
  echo "-- own instructions"
  callgrind_annotate --inclusive=no "$1" 2> /dev/null | awk '/file:function/ { on = 1; getline; next } on && NF == 0 { exit } on' |
    head -"$top" | sed -E 's/ \[[^]]*\]$//; s/\?\?\?://; s/[^ ]*\.S:|[^ ]*\.c:|[^ ]*\.cpp://' || true
  echo "-- including callees"
  # (without the frames that hold the whole run: main, the benchmark, the collected call)
  callgrind_annotate --inclusive=yes "$1" 2> /dev/null | awk '/file:function/ { on = 1; getline; next } on && NF == 0 { exit } on' |
    grep -v '(100.0%)' | head -"$top" | sed -E 's/ \[[^]]*\]$//; s/\?\?\?://; s/[^ ]*\.S:|[^ ]*\.c:|[^ ]*\.cpp://' || true
}

for entry in "${profiles[@]}"; do
  read -r name functions <<< "$entry"
  [[ $name =~ $filter ]] || continue
  file=$out/callgrind.${name//\//.}.out
  toggles=()
  for f in $functions; do toggles+=("--toggle-collect=$f"); done
  # build_input is so short that one run of the benchmark's minimum is plenty.
  valgrind --tool=callgrind --callgrind-out-file="$file" "${toggles[@]}" \
    "$build/bench/quillon_bench" --inputs="$small" --benchmark_filter="^$name\$" --benchmark_min_time=0 \
    > "$out/${name//\//.}.log" 2>&1
  total=$(callgrind_annotate "$file" 2> /dev/null | awk '/PROGRAM TOTALS/ { print $1; exit }')
  echo "== $name: $total instructions collected in ${functions// /, }"
  summary "$file"
  echo
done

if [[ script =~ $filter ]] && [ -x "$build/bench/quillon-script-bench" ]; then
  file=$out/callgrind.script.out
  exec {ports}< <(exec "$build/tools/demo-host/quillon-demo-host" --port 0 --logoff-delay 0 2> /dev/null)
  host_pid=$!
  read -r -t 10 line <&"$ports" || { echo "the demo host did not start" >&2; exit 1; }
  "$build/bench/quillon-script-bench" 1000 1 "${line##* }" "$(command -v valgrind)" --tool=callgrind \
    --callgrind-out-file="$file" "$build/quillon-script" -model 3278-2 > "$out/script.log" 2>&1 || true
  kill "$host_pid" 2> /dev/null || true
  # (an early exit of awk ends callgrind_annotate with SIGPIPE)
  total=$(callgrind_annotate "$file" 2> /dev/null | awk '/PROGRAM TOTALS/ { print $1; exit }' || true)
  echo "== quillon-script, 1,000 round trips (String, Enter, Wait(InputField), Ascii): $total instructions"
  summary "$file"
  echo
fi
