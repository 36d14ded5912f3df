// Bounded access to the 3270 field table and to a field's screen positions,
// shared by field navigation and the record builder.
#pragma once

#include <cstdint>

#include "terminal/comm_tcp.h"

namespace fields {

// Number of valid field-table entries, whatever fieldCount holds.
inline int validFieldCount(const CommTcp& t) {
  if (t.fieldCount <= 0) return 0;
  return t.fieldCount < kMaxFields ? t.fieldCount : kMaxFields;
}

// Positions of the field that lie on the screen: a field never reaches past
// position 1919, and one that begins after the last position has none.
inline uint32_t screenSpan(const FieldEntry& f) {
  if (f.begin >= static_cast<uint32_t>(kScreenPositions)) return 0;
  const uint32_t room = kScreenPositions - f.begin;
  return f.length < room ? f.length : room;
}

// A field's first position as a screen offset: one past the last position
// (a start field in the last position) wraps to the top of the screen.
inline uint32_t screenOffset(uint32_t begin) { return begin < static_cast<uint32_t>(kScreenPositions) ? begin : 0; }

}  // namespace fields
