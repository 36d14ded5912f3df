#!/usr/bin/env bash
# Cross-builds quillon.exe, quillon.dll, quillon-script.exe, the font file, the
# embed example and the test program for 32-bit Windows with mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DQUILLON_TESTS=ON -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$(nproc)"
for f in build-win/quillon.exe build-win/quillon.dll; do
  file "$f" | grep -q 'PE32 executable' || { echo "$f is not a PE32 image" >&2; exit 1; }
  echo "$f: $(file -b "$f")"
done
# quillon-script.exe: a console program beside quillon.dll, whose functions it uses.
[[ $(file -b build-win/quillon-script.exe) == "PE32 executable (console)"* ]] ||
  { echo "build-win/quillon-script.exe is not a PE32 console program" >&2; exit 1; }
grep -qx $'\tDLL Name: quillon.dll' <<<"$(i686-w64-mingw32-objdump -p build-win/quillon-script.exe)" ||
  { echo "build-win/quillon-script.exe does not use quillon.dll" >&2; exit 1; }
echo "build-win/quillon-script.exe: $(file -b build-win/quillon-script.exe)"

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

# Resources: the library holds the menu, the four dialogs, the icon and its
# version; the program its own icon and version.
resources() {  # prints TYPE/ID for every resource of the image, decimal
  i686-w64-mingw32-objdump -p "$1" | sed -n '/The .rsrc Resource Directory section/,/^$/p' |
    awk 'function hex(s,  v, i) { v = 0; sub(/,$/, "", s); s = tolower(substr(s, 3))
           for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
           return v }
         /^[0-9a-f]+   Entry: ID:/ {type = hex($4)} /^[0-9a-f]+     Entry: ID:/ {print type "/" hex($4)}'
}
expect_resources() {  # expect_resources IMAGE TYPE/ID...
  local have missing=0
  have=$(resources "$1")
  for r in "${@:2}"; do
    grep -qx "$r" <<<"$have" || { echo "$1 lacks resource $r (type/id)" >&2; missing=1; }
  done
  return $missing
}
# 4 menu, 5 dialog, 14 icon group, 16 version
expect_resources build-win/quillon.dll 4/101 5/102 5/106 5/108 5/109 14/101 16/1
expect_resources build-win/quillon.exe 14/101 16/1
echo "quillon.dll and quillon.exe carry their resources"
