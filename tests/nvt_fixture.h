// A terminal window laid out for VT100 use (25 rows of 81 cells, the default
// region, the view on the live screen, a device context for direct drawing),
// with helpers to label buffer rows and read back what moved where.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "vt100/nvt_screen.h"

class NvtScreenTest : public NvtLayoutTest {
 public:

  // Rows first..last (buffer rows) now hold the rows labelled from, from+1, ...;
  // from = -1: they are erased.
  struct RowChange {
    int first, last, from;
  };

 protected:

  void SetUp() override {
    NvtLayoutTest::SetUp();
    if (HasFatalFailure()) return;
    t->deviceContext = GetDC(window_);
    t->repaintPending = 0;
  }


  char& cellChar(int bufferRow, int column) { return t->nvtChars[t->NvtCellIndex(bufferRow, column)]; }
  uint32_t& cellAttr(int bufferRow, int column) { return t->nvtAttributes[t->NvtCellIndex(bufferRow, column)]; }
  std::string bufferRowText(int bufferRow) { return std::string(&cellChar(bufferRow, 0), 81); }
  std::string screenRowText(int row) { return bufferRowText(kLive + row); }

  // Gives every buffer row its number in columns 0..2, a letter after it and
  // the number as every cell's attribute word.
  void labelRows() {
    for (int b = 0; b < 125; ++b) {
      char digits[4];
      std::snprintf(digits, sizeof digits, "%03d", b);
      for (int c = 0; c < 81; ++c) {
        cellChar(b, c) = c < 3 ? digits[c] : static_cast<char>('a' + b % 26);
        cellAttr(b, c) = static_cast<uint32_t>(b);
      }
    }
  }

  bool rowIsErased(int bufferRow, int first = 0, int last = 80) {
    for (int c = first; c <= last; ++c)
      if (cellChar(bufferRow, c) != ' ' || cellAttr(bufferRow, c) != kErasedAttribute) return false;
    return true;
  }

  // The label a row carries now: its original number, -1 for an erased row,
  // -2 for anything else.
  int labelOf(int bufferRow) {
    if (rowIsErased(bufferRow)) return -1;
    int n = 0;
    for (int c = 0; c < 3; ++c) {
      const char d = cellChar(bufferRow, c);
      if (d < '0' || d > '9') return -2;
      n = n * 10 + (d - '0');
    }
    return n;
  }

  // Checks every buffer row against the expected changes: every row holds the
  // label and attributes it should (the changed bit is only a hint to the
  // repaint and is not compared).
  void expectRows(const std::vector<RowChange>& changes) {
    for (int b = 0; b < 125; ++b) {
      int expected = b;
      for (const RowChange& c : changes)
        if (b >= c.first && b <= c.last) expected = c.from < 0 ? -1 : c.from + (b - c.first);
      ASSERT_EQ(labelOf(b), expected) << "buffer row " << b;
      if (expected >= 0) {
        ASSERT_EQ(cellAttr(b, 40) & ~kAttrChanged, static_cast<uint32_t>(expected)) << "attribute of buffer row " << b;
      }
    }
  }

#ifndef _WIN32
  // What was drawn, as the headless display's cell grid holds it (POSIX only).
  const posix::Cell* gridCell(int column, int row) { return posix::testing::grid(window_)->at(column, row); }
#endif

  // Covers the screen area of the window with '#' so that drawing shows.
  void markWindow() {
    SelectObject(t->deviceContext, t->screenFont);
    SetTextColor(t->deviceContext, 0x111111);
    SetBkColor(t->deviceContext, 0x222222);
    const std::string marks(81, '#');
    for (int r = 0; r < 25; ++r) TextOutA(t->deviceContext, 0, r * ch, marks.c_str(), 81);
  }

};
