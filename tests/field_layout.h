// Lays out a 3270 screen in the terminal object the way a host record leaves
// it (start fields, field table, position attributes), so that field and
// record tests need not go through the inbound parser.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "terminal/comm_tcp.h"

struct StartField {
  uint32_t position;  // where the start-field byte stands
  uint8_t attribute;
};

// Clears the screen, then gives field 0 to the positions before the first
// start field (protected) and one field to each start field, up to the next
// one or to the end of the screen.
inline void layOutFields(CommTcp& t, const std::vector<StartField>& starts) {
  t.InitScreen();
  uint32_t first = kScreenPositions;
  if (!starts.empty()) first = starts.front().position;
  t.fieldTable[0] = FieldEntry{0x20, 0, first, t.screenChars, 0};
  t.fieldCount = 1;
  for (size_t i = 0; i < starts.size(); ++i) {
    const uint32_t begin = starts[i].position + 1;
    const uint32_t end = i + 1 < starts.size() ? starts[i + 1].position : kScreenPositions;
    t.attributePositions[starts[i].position] = starts[i].attribute;
    t.screenChars[starts[i].position] = ' ';
    const uint32_t length = begin > end ? 0 : end - begin;
    t.fieldTable[t.fieldCount++] = FieldEntry{starts[i].attribute, begin, length, t.screenChars + begin, 0};
    for (uint32_t p = begin; p < end; ++p) t.positionAttribute[p] = starts[i].attribute;
  }
}

// Writes text into the screen from a position (bytes as given, nulls included).
inline void putText(CommTcp& t, uint32_t position, const std::string& text) {
  std::memcpy(t.screenChars + position, text.data(), text.size());
}
