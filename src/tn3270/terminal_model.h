// Which 3270 display the terminal is: the model number (screen sizes), colour
// (3279) or monochrome (3278), and "-E", the extended data stream (structured
// fields, extended attributes, the query reply). The default, a 3278 model 2
// without "-E", keeps the original 24 x 80 engine; every other model runs the
// full data stream of tn3270/model_*.
#pragma once

#include <cstdint>
#include <string>

#include "quillon_api.h"

struct TerminalModel {
  uint8_t number = 2;    // 2..5
  uint8_t color = 0;     // 1: a 3279
  uint8_t extended = 0;  // 1: "-E"
};

// The default size of every model, and the largest alternate size.
constexpr int kDefaultRows = 24;
constexpr int kDefaultColumns = 80;
constexpr int kMaxModelPositions = 27 * 132;  // model 5; model 4 holds 43 x 80 = 3440
constexpr int kMaxModelColumns = 132;
constexpr int kMaxModelRows = 43;

inline bool IsDefaultModel(const TerminalModel& m) { return m.number == 2 && !m.color && !m.extended; }
QUILLON_API int AlternateRows(const TerminalModel& m);
QUILLON_API int AlternateColumns(const TerminalModel& m);

// "3278-2" .. "3279-5-E" (case-insensitive, the "-E" optional), or a bare model
// number "2".."5" meaning a 3278. False, and *out unchanged, for anything else.
QUILLON_API bool ParseTerminalModel(const char* text, TerminalModel* out);
// "3279-4-E", and the terminal type told to the host, "IBM-3279-4-E".
QUILLON_API std::string TerminalModelName(const TerminalModel& m);
QUILLON_API std::string TerminalTypeName(const TerminalModel& m);

// [3270] Model= in the settings file; the default model when missing or unreadable.
#define QUILLON_3270_SECTION "3270"
QUILLON_API TerminalModel ReadModelSetting();
QUILLON_API bool WriteModelSetting(const TerminalModel& m);
// [3270] TN3270E=1: the default model agrees to TN3270E as well (the -E
// models always do).
QUILLON_API bool ReadTn3270eSetting();
