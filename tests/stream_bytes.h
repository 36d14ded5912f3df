// Building the byte streams tests send: byte strings joined with +, text,
// repeats, and the pieces of 3270 records (EBCDIC text, SBA, SF, IC,
// Erase/Write, IAC EOR).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tn3270/ebcdic.h"

using Bytes = std::vector<uint8_t>;

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes repeat(const Bytes& unit, size_t times) {
  Bytes out;
  out.reserve(unit.size() * times);
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

inline Bytes ebcdic(const std::string& s) {
  Bytes out(s.begin(), s.end());
  Asc_To_Ebc(out.data(), static_cast<unsigned>(out.size()));
  return out;
}
// Set Buffer Address in the 12-bit form.
inline Bytes sba(uint32_t position) {
  Bytes out{0x11, 0, 0};
  cvpc3270(&out[1], static_cast<int>(position / 80), static_cast<int>(position % 80));
  return out;
}
inline Bytes sf(uint8_t attribute) { return Bytes{0x1D, attribute}; }
inline const Bytes kEraseWrite{0xF5, 0xC3};
inline const Bytes kInsertCursor{0x13};
inline const Bytes kEor{0xFF, 0xEF};
