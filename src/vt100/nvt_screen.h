// The NVT (VT100) screen: attribute bits, erase ranges, the tilde-brace state
// and character insertion.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "quillon_api.h"

// Bits of the attribute word kept for every cell and in nvtCurrentAttribute.
constexpr uint32_t kAttrBold = 0x00000001;
constexpr uint32_t kAttrDim = 0x00000002;
constexpr uint32_t kAttrUnderline = 0x00000004;
constexpr uint32_t kAttrBlink = 0x00000008;
constexpr uint32_t kAttrReverse = 0x00000010;
constexpr uint32_t kAttrHidden = 0x00000020;
constexpr uint32_t kAttrDefaultForeground = 0x00004000;
constexpr uint32_t kAttrDefaultBackground = 0x00800000;
constexpr uint32_t kAttrSelected = 0x01000000;
constexpr uint32_t kAttrLineDrawing = 0x02000000;
constexpr uint32_t kAttrChanged = 0x04000000;
// An erased cell: a blank with only the changed bit.
constexpr uint32_t kErasedAttribute = kAttrChanged;

enum NvtEraseRange {
  kEraseToEndOfLine,
  kEraseToStartOfLine,
  kEraseLine,
  kEraseBelow,
  kEraseAbove,
  kEraseScreen,
  kEraseRowsFromCursor,
};

// Tilde-brace shifting: 0 plain, 1 GB mode, 2 a "~" ended the previous data.
// One state for the whole program.
extern int hzState;

class CommTcp;

namespace nvt {
// Places one byte at the cursor, or performs carriage return or line feed:
// what ncTcpInsertNVTChar does, without showing it.
void insertChar(CommTcp& t, unsigned char ch);
}  // namespace nvt

extern "C" {
// Places one byte at the cursor, or performs carriage return / line feed.
QUILLON_API void ncTcpInsertNVTChar(HWND hwnd, unsigned char ch);
}
