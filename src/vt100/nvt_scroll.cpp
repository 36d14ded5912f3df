// Line feed movement, index, reverse index and scrolling of the NVT screen,
// with the history above the live screen.
//
// These operations address the live screen even while the user looks at the
// history. They draw nothing; rows that moved are shown by the repaint that
// repaintPending asks for at the end of the batch.
#include "terminal/comm_tcp.h"
#include "vt100/nvt_cells.h"

namespace {

// Every buffer row moves up one: the oldest history line is lost, the top
// screen line enters the history, and the last screen row becomes blank.
void scrollWholeBuffer(CommTcp& t, const nvt::Geometry& g) {
  const int last = nvt::bufferRows(g) - 1;
  nvt::rotateUp(t, g);
  nvt::eraseRows(t, nvt::geometry(t), last, last);
  t.repaintPending = 1;
}

void lineFeedMovement(CommTcp& t, bool newLine) {
  t.wrapPending = 0;
  if (!nvt::hasBuffers(t)) return;
  if (newLine && t.newLineMode == 1) t.cursorColumn = 0;
  const nvt::Geometry g = nvt::geometry(t);
  const int row = nvt::cursorRowOf(t, g) + 1;

  if (row <= g.bottom) {
    t.cursorRow = row;
  } else if (row == g.bottom + 1) {
    t.NvtScrollUp();
    t.cursorRow = g.bottom;
  } else if (row <= g.rows - 1) {
    t.cursorRow = row;  // below the region: the cursor moves down to the last row
  } else {
    t.cursorRow = g.rows - 1;
    scrollWholeBuffer(t, g);
  }
}

}  // namespace

void CommTcp::NvtLineFeed() { lineFeedMovement(*this, true); }

void CommTcp::NvtIndex() { lineFeedMovement(*this, false); }

void CommTcp::NvtScrollUp() {
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::geometry(*this);
  nvt::Geometry after = g;
  if (g.top == 0) {
    // The region starts at the top: its first line goes into the history.
    // Every row moves up by turning the ring; the rows below the region are
    // then put back where they were.
    nvt::rotateUp(*this, g);
    after = nvt::geometry(*this);
    const int below = nvt::bufferRows(g) - 1 - (g.liveBase + g.bottom);
    nvt::moveRows(*this, after, g.liveBase + g.bottom, g.liveBase + g.bottom + 1, below);
  } else {
    nvt::moveRows(*this, g, g.liveBase + g.top + 1, g.liveBase + g.top, g.bottom - g.top);
  }
  nvt::eraseRows(*this, after, g.liveBase + g.bottom, g.liveBase + g.bottom);
  repaintPending = 1;
}

int CommTcp::NvtCellIndex(int bufferRow, int column) const {
  const nvt::Geometry g = nvt::cellLayout(*this);
  return nvt::cellIndex(g, bufferRow, nvt::clampInt(column, 0, g.columns - 1));
}

void CommTcp::NvtReverseIndex() {
  wrapPending = 0;
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::geometry(*this);
  const int row = nvt::cursorRowOf(*this, g);
  if (row != g.top) {
    cursorRow = row > 0 ? row - 1 : 0;
    return;
  }
  // At the top margin: the region moves down one line and a blank line opens.
  nvt::moveRows(*this, g, g.liveBase + g.top, g.liveBase + g.top + 1, g.bottom - g.top);
  nvt::eraseRows(*this, g, g.liveBase + g.top, g.liveBase + g.top);
  nvt::noteErasedCells(*this, g, g.top, 0, g.columns - 1);
  cursorRow = row;
  repaintPending = 1;
}
