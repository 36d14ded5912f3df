// The seam between the terminal's model and whoever shows it.
//
// The Telnet engine and the interpreters never draw: they change the screen
// model and note here what changed. Once a read batch is parsed the engine
// hands the record to the terminal's Display, which shows it (the window
// paints, quillon-script shows nothing) and clears it.
#pragma once

#include <algorithm>

class CommTcp;

// What changed since the terminal was last presented.
struct ScreenDamage {
  static constexpr int kRows = 25;  // the NVT live screen's rows at most

  // The whole NVT view is to be drawn again: rows moved, or a burst of bytes
  // whose changes are shown together.
  bool nvtView = false;
  // A 3270 record completed: the 3270 screen is new (its cursor is placed).
  bool screen3270 = false;
  // The view came back from the history to the live screen.
  bool viewReturned = false;
  // A character was placed (rather than cells erased) in the changed cells;
  // the 3270 keyboard's echo shows it with the two cells to its right wiped.
  bool charPlaced = false;
  // Cells first..last of each live NVT screen row were written (first > last: none).
  int first[kRows];
  int last[kRows];

  ScreenDamage() { ClearCells(); }

  void Cells(int row, int from, int to) {
    if (row < 0 || row >= kRows || from > to) return;
    first[row] = std::min(first[row], from);
    last[row] = std::max(last[row], to);
  }
  bool RowChanged(int row) const { return first[row] <= last[row]; }
  void ClearCells() {
    std::fill(first, first + kRows, 0x7FFFFFFF);
    std::fill(last, last + kRows, -1);
  }
  void Clear() {
    nvtView = screen3270 = viewReturned = charPlaced = false;
    ClearCells();
  }
};

class Display {
 public:
  virtual ~Display() = default;
  // The host rang the bell.
  virtual void Bell() = 0;
  // Shows what t.damage records, places the cursor, and clears the record.
  virtual void Present(CommTcp& t) = 0;
};
