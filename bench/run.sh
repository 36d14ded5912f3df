#!/usr/bin/env bash
# Runs every measurement of bench/ on an optimised, unsanitized build and prints
# one table: the VT100 paths beside libvterm with their ratio, VT100 plain text
# from a host on a loopback socket over plain Telnet and through TLS with their
# ratio, the 3270 paths (the 24 x 80 records beside the same fields written to the
# 27 x 132 alternate screen with extended attributes, with their ratio),
# the program's start-up time and resident memory, quillon-script's round trips
# against the demo host beside s3270's (when s3270 is installed), and the machine.
#
#   bench/run.sh [--profile]
#
# BUILD_DIR (default build-bench in the repository) is the build used;
# REPETITIONS (default 3) how often each benchmark runs (the median is shown);
# SCRIPT_ROUNDS (default 5000) and SCRIPT_RUNS (default 5) the round trips of
# each script program's run and the runs (the median is shown).
# --profile also runs bench/profile.sh (callgrind on smaller inputs).
# Everything printed is also kept in $BUILD_DIR/bench-results.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-$root/build-bench}
repetitions=${REPETITIONS:-3}
script_rounds=${SCRIPT_ROUNDS:-5000}
script_runs=${SCRIPT_RUNS:-5}
profile=0
for arg in "$@"; do
  case $arg in
    --profile) profile=1 ;;
    *) echo "usage: bench/run.sh [--profile]" >&2; exit 2 ;;
  esac
done

echo "== building (Release, not sanitized) in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLON_SANITIZE=OFF -DQUILLON_TESTS=OFF -DQUILLON_BENCH=ON > /dev/null
cmake --build "$build" -j"$(nproc)" > "$build/bench-build.log" 2>&1 || { tail -40 "$build/bench-build.log"; exit 1; }
if [ ! -x "$build/bench/quillon_bench" ]; then
  echo "quillon_bench was not built (is libbenchmark-dev installed? see tools/install-deps.sh)" >&2
  exit 1
fi
cmake --build "$build" --target quillon_bench_inputs > /dev/null

results=$build/bench-results.txt
json=$build/bench-results.json
work=$(mktemp -d)
tmux_socket="quillon-bench-$$"
host_pid=""
cleanup() {
  tmux -L "$tmux_socket" -f /dev/null kill-server > /dev/null 2>&1 || true
  [ -n "$host_pid" ] && kill "$host_pid" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

echo "== benchmarks ($repetitions repetitions each; this takes a few minutes)"
"$build/bench/quillon_bench" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_out="$json" --benchmark_out_format=json | tee "$work/bench-console.txt"

echo "== start-up and idle memory, --headless (not connected: without a display nothing chooses Connect)"
# The demo host gives the address the program is started with, as tools/demo.sh does.
exec {ports}< <(exec "$build/tools/demo-host/quillon-demo-host" --port 0 --logoff-delay 0 2> "$work/host.log")
host_pid=$!
read -r -t 10 line <&"$ports" || { echo "the demo host did not start" >&2; exit 1; }
address=${line##* }
# From the build directory, where the program finds its font file as a user's would.
(cd "$build" && "$build/bench/quillon-startup-probe" 15 "$build/quillon" --headless "$address") | tee "$work/startup.txt"

echo "== resident memory connected to the demo host (terminal display under tmux, 100 x 32)"
tmux_cmd() { tmux -u -L "$tmux_socket" -f /dev/null "$@"; }
wait_for() {  # wait_for TEXT: until the pane shows TEXT (30 s at most)
  local i
  for i in $(seq 600); do
    tmux_cmd capture-pane -p -t bench 2> /dev/null | grep -qF -- "$1" && return 0
    sleep 0.05
  done
  echo "the pane never showed: $1" >&2
  tmux_cmd capture-pane -p -t bench >&2 || true
  return 1
}
status_kib() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }
rss_3270="" hwm_3270="" rss_vt="" hwm_vt=""
measure_connected() {
  tmux_cmd new-session -d -s bench -x 100 -y 32 -e LANG=C.UTF-8 "cd '$build' && exec ./quillon '$address'" || return 1
  wait_for "Main  Edit  Connect" || return 1
  local pid
  pid=$(tmux_cmd display-message -p -t bench '#{pane_pid}')
  # Connect (menu bar, Connect, OK on the offered host and IBM 3270): the logon panel.
  tmux_cmd send-keys -t bench C-] Right Right Enter
  wait_for "Destination Host" || return 1
  tmux_cmd send-keys -t bench Enter
  wait_for "QUILLON DEMO HOST - LOGON" || return 1
  sleep 2
  rss_3270=$(status_kib "$pid" VmRSS)
  hwm_3270=$(status_kib "$pid" VmHWM)
  # Connect again as a VT100: the shell prompt.
  tmux_cmd send-keys -t bench C-] Right Right Enter
  wait_for "Destination Host" || return 1
  tmux_cmd send-keys -t bench Tab Up Enter
  wait_for "demo> " || return 1
  sleep 2
  rss_vt=$(status_kib "$pid" VmRSS)
  hwm_vt=$(status_kib "$pid" VmHWM)
  # Main, Exit.
  tmux_cmd send-keys -t bench C-] Down Down Enter
  sleep 0.5
}
measure_connected || echo "the connected measurement failed" >&2
tmux_cmd kill-server > /dev/null 2>&1 || true

echo "== script round trips against the demo host: String, Enter, Wait(InputField), Ascii"
# Both programs get the same arguments, as automation starts them, and take turns run by run.
script_args=(-model 3278-2 -xrm "s3270.unlockDelay: False")
script_programs=("$build/quillon-script" "${script_args[@]}")
if s3270=$(command -v s3270); then
  script_programs+=(-- "$s3270" "${script_args[@]}")
else
  echo "s3270 not found (Debian: s3270): quillon-script runs alone" >&2
fi
"$build/bench/quillon-script-bench" "$script_rounds" "$script_runs" "$address" "${script_programs[@]}" \
  | tee "$work/script.txt" || echo "the script benchmark failed" >&2

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
cpu_model=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
cpu_mhz=$(awk -F': ' '/^cpu MHz/ { printf "%.0f", $2; exit }' /proc/cpuinfo)
memory=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
cores=$(nproc)
compiler=$(c++ --version | head -1)
kernel=$(uname -sr)

python3 - "$json" "$work/startup.txt" "$work/script.txt" > "$results" << EOF
import json, re, sys
data = json.load(open(sys.argv[1]))
med = {b["run_name"]: b for b in data["benchmarks"] if b.get("aggregate_name") == "median"}
def mib(b): return b["bytes_per_second"] / 1048576.0 if b else None
def fmt(v, f="%.1f"): return f % v if v is not None else "-"
print("Quillon benchmarks (bench/run.sh), medians of $repetitions runs, per CPU second")
print()
print("%-22s %14s %14s %16s" % ("VT100 input", "quillon MiB/s", "libvterm MiB/s", "quillon/libvterm"))
for name in ("vt100-plain", "vt100-csi", "vt100-unrecognised"):
    ours, theirs = med.get(name + "/quillon"), med.get(name + "/libvterm")
    ratio = mib(ours) / mib(theirs) if ours and theirs else None
    print("%-22s %14s %14s %16s" % (name, fmt(mib(ours)), fmt(mib(theirs)), fmt(ratio, "%.2f")))
print()
print("VT100 plain text from a host on a loopback socket (message loop, RecvData, ParseData),")
print("per CPU second of the terminal's thread:")
print("%-40s %8s %9s %15s" % ("connection", "MiB/s", "vs plain", "bytes per read"))
telnet, tls = med.get("vt100-plain/telnet"), med.get("vt100-plain/tls")
def per_read(b): return fmt(b.get("bytes_per_read") if b else None, "%.0f")
print("%-40s %8s %9s %15s" % ("plain Telnet", fmt(mib(telnet)), "1.00" if telnet else "-", per_read(telnet)))
ratio = mib(tls) / mib(telnet) if telnet and tls else None
cipher = " (%s)" % tls["label"] if tls and tls.get("label") else ""
print("%-40s %8s %9s %15s" % ("TLS" + cipher, fmt(mib(tls)), fmt(ratio, "%.2f"), per_read(tls)))
print()
print("3270 records (ParseData -> CreateScreen -> ShowScreen), per CPU second:")
print("%-48s %11s %8s %12s" % ("records", "records/s", "MiB/s", "vs 24 x 80"))
rec, ext = med.get("tn3270_records/quillon"), med.get("tn3270_extended_records/quillon")
def per_s(b): return fmt(b["items_per_second"] if b else None, "%.0f")
print("%-48s %11s %8s %12s" % ("default model, 24 x 80 (SF, RA)", per_s(rec), fmt(mib(rec)), "1.00" if rec else "-"))
ratio = ext["items_per_second"] / rec["items_per_second"] if rec and ext else None
print("%-48s %11s %8s %12s" % ("3279-5-E, 27 x 132, same fields (EWA, SFE, SA)", per_s(ext), fmt(mib(ext)),
                                fmt(ratio, "%.2f")))
bi = med.get("tn3270_build_input/quillon")
if bi:
    print("build_input, 40 modified fields: %.0f calls/s (%.0f ns per call)"
          % (bi["items_per_second"], 1e9 / bi["items_per_second"]))
print()
startup = open(sys.argv[2]).read()
m = re.search(r"startup_ms median=(\S+) min=(\S+) max=(\S+) runs=(\d+)", startup)
if m:
    print("Start-up to the first message-loop wait (--headless): median %s ms, min %s, max %s (%s runs)" % m.groups())
m = re.search(r"idle_rss_kib median=(\d+) hwm_kib median=(\d+)", startup)
if m:
    print("Resident memory, --headless, idle, not connected: VmRSS %s kB (VmHWM %s kB)" % m.groups())
print("Resident memory, terminal display, connected to the demo host, idle:")
print("  3270 logon panel:  VmRSS ${rss_3270:--} kB (VmHWM ${hwm_3270:--} kB)")
print("  VT100 at its prompt: VmRSS ${rss_vt:--} kB (VmHWM ${hwm_vt:--} kB)")
print()
script = {m.group(1): m.groups() for m in re.finditer(
    r"script_bench program=(\S+) round_trips_per_s median=(\S+) min=(\S+) max=(\S+) "
    r"cpu_ms_per_round_trip median=(\S+) user_share=(\S+) runs=(\d+) rounds=(\d+)", open(sys.argv[3]).read())}
if script:
    first = next(iter(script.values()))
    print("Script round trips against the demo host (String, Enter, Wait(InputField), Ascii; each answer read")
    print("before the next action), medians of %s runs of %s round trips; CPU of the program alone:"
          % (first[6], first[7]))
    print("%-16s %15s %10s %22s %12s" % ("program", "round trips/s", "min-max", "CPU ms per round trip", "user share"))
    for name, g in script.items():
        print("%-16s %15s %10s %22s %12s" % (name, g[1], g[2] + "-" + g[3], g[4], "%.0f%%" % (100 * float(g[5]))))
    ours, theirs = script.get("quillon-script"), script.get("s3270")
    if ours and theirs:
        print("quillon-script / s3270: %.2f x the round trips per second, %.2f x the CPU time per round trip"
              % (float(ours[1]) / float(theirs[1]), float(ours[4]) / float(theirs[4])))
    print()
print("Machine: $cpu_model, $cores cores (about $cpu_mhz MHz), $memory")
print("Load average (1, 5, 15 min): $load_before before, $load_after after")
print("Built with $compiler, CMAKE_BUILD_TYPE=Release; $kernel")
EOF
echo
cat "$results"

if [ "$profile" = 1 ]; then
  echo
  BUILD_DIR=$build bench/profile.sh
fi
