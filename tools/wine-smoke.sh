#!/usr/bin/env bash
# Smoke tests of the Windows build under Wine against the demo host:
#  1. embed-example.exe receives the logon record and the line it types reaches the host;
#  2. quillon.exe shows its window titled "Quillon", runs a VT100 session whose
#     line-drawing box is drawn as lines (checked on a screenshot), and exits
#     with code 0 on WM_CLOSE.
# Usage: tools/wine-smoke.sh [WINDOWS_BUILD_DIR] [DEMO_HOST]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
demo_host=${2:-build/tools/demo-host/quillon-demo-host}
source tools/wine-env.sh

out=$(mktemp -d)
host_pid=""
cleanup() {
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null || true
  wine_env_stop
}
trap cleanup EXIT
wine_env_start "$build"
echo "Wine smoke tests on DISPLAY=$DISPLAY, screenshots in $out"

"$demo_host" --port 0 >"$out/demo-host.log" 2>&1 &
host_pid=$!
for _ in $(seq 50); do grep -q '^listening on' "$out/demo-host.log" && break; sleep 0.1; done
host=$(sed -n 's/^listening on //p' "$out/demo-host.log")
[[ -n "$host" ]] || { echo "the demo host did not start" >&2; exit 1; }

failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok:   $1"; else echo "FAIL: $1" >&2; failed=1; fi
}

# 1. The embed example as another program hosting quillon.dll.
(cd "$build" && timeout 60 wine quillon-embed-example.exe "$host" WINEUSER >"$out/embed.log" 2>&1) &
embed_pid=$!
for _ in $(seq 300); do grep -q '^record 2' "$out/embed.log" 2>/dev/null && break; sleep 0.1; done
kill "$embed_pid" 2>/dev/null || true
wineserver -k 2>/dev/null || true
wait "$embed_pid" 2>/dev/null || true
check "embed-example.exe receives the logon record" grep -q '^record 1 .*QUILLON DEMO HOST - LOGON' "$out/embed.log"
check "the line embed-example.exe types reaches the host" grep -q '^record 2 .*USER WINEUSER' "$out/embed.log"

# 2. quillon.exe itself, driven from outside.
drive() { (cd "$build" && wine quillon-driver.exe "$@"); }
(cd "$build" && timeout 120 wine quillon.exe >"$out/quillon.log" 2>&1; echo $? >"$out/quillon.exit") &
quillon_pid=$!
title=$(drive wait 60 | tr -d '\r')
check "quillon.exe shows its window titled \"Quillon\"" test "$title" = "Quillon"
check "the X window list has a window named \"Quillon\"" bash -c "xdotool search --name '^Quillon\$' >/dev/null"
check "the host dialog connects to the demo host as a VT100" drive connect "$host" vt100
drive type 'box\r'
read -r x y width height < <(drive client | tr -d '\r')
# Runs of lit pixels in the client area: a line-drawing row such as "lqqqqk"
# joins into one horizontal line many cells long, and the sides "x" on
# consecutive rows into one vertical line; letters never do. The screen is
# taken again until the box is there or 20 seconds have passed.
longest_row=0 longest_column=0
for _ in $(seq 20); do
  sleep 1
  import -window root "$out/vt100-box.png"
  read -r longest_row longest_column < <(convert "$out/vt100-box.png" -crop "${width}x${height}+${x}+${y}" +repage \
    -colorspace Gray -threshold 40% -negate -compress none pbm:- | tools/pbm-runs.awk)
  ((longest_row >= width / 81 * 8 && longest_column >= height / 25 * 2)) && break
done
echo "client ${width}x${height} at ${x},${y}; longest horizontal run $longest_row px, vertical $longest_column px"
check "the VT100 line-drawing box is drawn with horizontal lines" test "$longest_row" -ge $((width / 81 * 8))
check "the VT100 line-drawing box is drawn with vertical lines" test "$longest_column" -ge $((height / 25 * 2))
drive close
wait "$quillon_pid" || true
check "quillon.exe exits with code 0 on WM_CLOSE" test "$(cat "$out/quillon.exit" 2>/dev/null)" = 0

if [[ $failed != 0 ]]; then
  echo "Wine smoke tests failed; screenshots and logs are in $out" >&2
  exit 1
fi
echo "Wine smoke tests passed"
