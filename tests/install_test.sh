#!/usr/bin/env bash
# The installed tree and the Debian package, used as their users use them.
#   tests/install_test.sh tree BUILD_DIR CMAKE LIBDIR CXX CXXFLAGS
#     installs into a staging prefix (then moved elsewhere, so nothing points back
#     at the build or the prefix), runs the installed quillon-script by name from
#     the PATH in another working directory against the installed demo host, starts
#     and stops the installed quillon, and builds and runs a small embedding
#     program against the installed headers and library;
#   tests/install_test.sh deb BUILD_DIR CPACK
#     makes the Debian package and checks its files and dependencies (exit 77,
#     skipped, without dpkg-deb).
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
host_pid=""
cleanup() {
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ $mode == deb ]]; then
  cpack=$3
  command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing: skipped"; exit 77; }
  "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
  debs=("$work"/quillon_*.deb)
  [[ -f "${debs[0]}" ]] || fail "no package in $work: $(ls "$work")"
  contents=$(dpkg-deb -c "${debs[0]}" | awk '{print $NF}')
  for f in ./usr/bin/quillon ./usr/bin/quillon-script ./usr/bin/quillon-demo-host ./usr/lib/libquillon.so \
    ./usr/include/quillon/quillon.h ./usr/include/quillon/terminal/comm_tcp.h ./usr/lib/pkgconfig/quillon.pc \
    ./usr/share/quillon/quillon100.fon ./usr/share/quillon/quillon100.fon.LICENSE; do
    grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
  done
  depends=$(dpkg-deb -f "${debs[0]}" Depends)
  for d in libc6 libssl3 libncursesw6; do
    grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "the package does not depend on $d: $depends"
  done
  echo "ok: $(basename "${debs[0]}"): $(wc -l <<<"$contents") entries; Depends: $depends"
  exit 0
fi

[[ $mode == tree ]] || fail "unknown mode $mode"
cmake=$3 libdir=$4 cxx=$5 cxxflags=$6
"$cmake" --install "$build" --prefix "$work/staging" >/dev/null
mv "$work/staging" "$work/moved"
prefix=$work/moved
for f in bin/quillon bin/quillon-script bin/quillon-demo-host "$libdir/libquillon.so" include/quillon/quillon.h \
  "$libdir/pkgconfig/quillon.pc" share/quillon/quillon100.fon share/quillon/quillon100.fon.LICENSE; do
  [[ -f "$prefix/$f" ]] || fail "$f is not installed"
done
export PATH=$prefix/bin:$PATH
mkdir "$work/elsewhere"
cd "$work/elsewhere"
[[ $(command -v quillon-script) == "$prefix/bin/quillon-script" ]] || fail "quillon-script is not found on the PATH"

quillon-demo-host --port 0 --logoff-delay 0 >"$work/host.log" 2>&1 &
host_pid=$!
for _ in $(seq 100); do grep -q '^listening on' "$work/host.log" && break; sleep 0.1; done
host=$(sed -n 's/^listening on //p' "$work/host.log")
[[ -n "$host" ]] || fail "the installed demo host did not start"

# The logon panel, then Quit: every action answered, the panel's title among the data.
printf '%s\n' "Connect($host)" "Wait(InputField)" "Ascii" "Quit" >"$work/script.in"
status=0
timeout 30 quillon-script <"$work/script.in" >"$work/script.out" 2>"$work/script.err" || status=$?
cat "$work/script.out"
[[ $status == 0 ]] || fail "quillon-script exited with $status: $(cat "$work/script.err")"
[[ $(grep -cx 'ok' "$work/script.out") == 4 ]] || fail "not every action answered ok"
grep -q '^data: .*QUILLON DEMO HOST - LOGON' "$work/script.out" || fail "Ascii did not show the logon panel"
grep -qE "^U F U C\\(127\\.0\\.0\\.1\\) I 2 24 80 [0-9]+ [0-9]+ 0x0 [0-9]+\\.[0-9]{3}$" "$work/script.out" ||
  fail "no status line of an unlocked formatted 3270 screen"

# The program itself starts without a terminal and ends with 0 on SIGTERM, sent
# once it has taken over that signal.
quillon --headless >"$work/quillon.log" 2>&1 &
quillon_pid=$!
for _ in $(seq 200); do
  caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$quillon_pid/status" 2>/dev/null) || true
  (((16#${caught:-0} >> 14) & 1)) && break  # bit 14: SIGTERM
  sleep 0.05
done
kill -TERM "$quillon_pid"
status=0
wait "$quillon_pid" || status=$?
[[ $status == 0 ]] || fail "the installed quillon ended with $status: $(cat "$work/quillon.log")"

# An embedding program built against the installed tree only.
cat >embedder.cpp <<'EOF'
#include "quillon.h"

int main() {
  if (!ncTcpWSARegWSAStartup()) return 2;
  HWND window = nullptr;
  if (!ncTcpRegisterClass(3, GetModuleHandleA(nullptr))) return 3;
  ncTcpCreateSocketObj(&window, nullptr, "embedded", QUILLON_WINDOW_STYLE & ~WS_VISIBLE, GetModuleHandleA(nullptr));
  CommTcp* terminal = window ? reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0)) : nullptr;
  if (!terminal || terminal->windowHandle != window) return 4;
  // Closing goes through the window's messages and ends the loop.
  if (ncTcpDestroySocketObj(window) != 1) return 5;
  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  if (IsWindow(window)) return 6;
  ncTcpWSARegWSACleanup();
  return 0;
}
EOF
if command -v pkg-config >/dev/null; then
  read -r -a flags < <(PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig pkg-config --cflags --libs quillon)
else
  flags=(-I"$prefix/include/quillon" -L"$prefix/$libdir" -lquillon)
fi
read -r -a extra <<<"$cxxflags"
"$cxx" -std=c++17 "${extra[@]}" embedder.cpp -o embedder "${flags[@]}" -Wl,-rpath,"$prefix/$libdir" ||
  fail "an embedding program does not build against the installed tree (${flags[*]})"
status=0
./embedder || status=$?
[[ $status == 0 ]] || fail "the embedding program ended with $status"
echo "ok: installed tree at $prefix"
