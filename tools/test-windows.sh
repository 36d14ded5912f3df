#!/usr/bin/env bash
# Runs the Windows test program of a cross build under Wine.
#
#   tools/test-windows.sh [BUILD_DIR [GTEST_ARGS...]]
#
# BUILD_DIR (default build-win) is a build configured with
#   cmake -S . -B BUILD_DIR -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
#         -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=ON
# in which tests/quillon_tests.exe has been built. The Wine prefix is
# $WINEPREFIX, else BUILD_DIR/wineprefix (32-bit, made on first use). Without a
# DISPLAY an Xvfb of our own runs on a free display for the length of the run.
# The program runs from a scratch directory; the exit status is nonzero when it
# failed, crashed or did not report its tests as passed.
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-win}
[[ $# -gt 0 ]] && shift
if [[ ! -d $build ]]; then
  echo "test-windows: no build directory $build" >&2
  exit 2
fi
build=$(cd "$build" && pwd)
exe=$build/tests/quillon_tests.exe
if [[ ! -f $exe ]]; then
  echo "test-windows: $exe is missing (configure with -DQUILLON_TESTS=ON and build quillon_tests)" >&2
  exit 2
fi
for tool in wine wineboot wineserver; do
  command -v "$tool" >/dev/null || { echo "test-windows: $tool is not installed" >&2; exit 2; }
done

source tools/wine-env.sh
work=
cleanup() {
  wine_env_stop
  [[ -n $work ]] && rm -rf "$work"
}
trap cleanup EXIT
wine_env_start "$build" || exit 2

work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-wine-tests.XXXXXX")
log=$work/quillon_tests.log
echo "test-windows: wine $exe $* (in $work, DISPLAY=$DISPLAY)"
(cd "$work" && timeout 540 wine "$exe" "$@") 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

if [[ $status -ne 0 ]]; then
  echo "test-windows: quillon_tests.exe exited with status $status" >&2
  exit 1
fi
if ! grep -q '^\[  PASSED  \]' "$log"; then
  echo "test-windows: quillon_tests.exe reported no passed tests" >&2
  exit 1
fi
if grep -q '^\[  FAILED  \]' "$log"; then
  echo "test-windows: some tests failed" >&2
  exit 1
fi
echo "test-windows: passed"
