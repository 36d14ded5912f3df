#!/usr/bin/env bash
# Cross-builds quillon.exe and quillon.dll for 32-bit Windows with mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DQUILLON_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$(nproc)"
for f in build-win/quillon.exe build-win/quillon.dll; do
  file "$f" | grep -q 'PE32 executable' || { echo "$f is not a PE32 image" >&2; exit 1; }
  echo "$f: $(file -b "$f")"
done

# The DLL exports every name of the list, the class members by their demangled names.
exports=$(i686-w64-mingw32-objdump -p build-win/quillon.dll |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NF >= 3 {print $NF}' | i686-w64-mingw32-c++filt -n)
missing=0
while read -r name; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  if [[ "$name" == CommTcp::* ]]; then
    grep -qF -- "$name(" <<<"$exports" || { echo "quillon.dll does not export $name" >&2; missing=1; }
  else
    grep -qx -- "$name" <<<"$exports" || { echo "quillon.dll does not export $name" >&2; missing=1; }
  fi
done < tools/exports.txt
[[ $missing == 0 ]] || exit 1
echo "quillon.dll exports every listed name"
