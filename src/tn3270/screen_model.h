// The 3270 screen model shared by the 3270 subsystem: geometry and one field.
#pragma once

#include <cstdint>

// A model-2 display: 24 rows of 80 positions; buffer offsets 0..1919.
constexpr int kScreenColumns = 80;
constexpr int kScreenRows = 24;
constexpr int kScreenPositions = kScreenColumns * kScreenRows;
// The screen arrays hold 2000 entries; only the first 1920 are the screen.
constexpr int kScreenArraySize = 2000;
constexpr int kMaxFields = 500;

struct FieldEntry {
  uint8_t attribute;   // the start-field attribute byte as received
  uint32_t begin;      // first character position (after the start-field position)
  uint32_t length;     // character positions in the field
  uint8_t* data;       // screenChars + begin
  uint8_t modified;    // 1 once the keyboard stored characters into the field
};
