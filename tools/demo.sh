#!/usr/bin/env bash
# Builds what is missing, starts the demo host on a free loopback port and runs
# Quillon in this terminal with the demo host as its default host. Arguments go
# to Quillon. The demo host stops when Quillon ends.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
# The same build as the test command, so the two share it.
cmake -S . -B build -DQUILLON_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target quillon_exe quillon-demo-host > /dev/null

exec {ports}< <(exec build/tools/demo-host/quillon-demo-host --port 0 2> build/demo-host.log)
host=$!
trap 'kill "$host" 2> /dev/null || true' EXIT
read -r -t 10 line <&"$ports" || { echo "the demo host did not start" >&2; exit 1; }
address=${line##* }  # "listening on 127.0.0.1:PORT"
build/quillon "$@" "$address"
