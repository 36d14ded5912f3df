// What the terminal display shows, as a grid of terminal cells: the title line,
// the menu bar, the main window's client area and scroll bar, open popups,
// dialogs and message boxes, and the note that the terminal is too small. And
// what a mouse click on a cell lands on. No terminal calls: the display draws
// the grid and feeds the clicks.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/cell_grid.h"
#include "platform/posix/dialog.h"
#include "platform/posix/tty_menu.h"
#include "platform/posix/tty_message_box.h"
#include "platform/posix/win32_posix.h"

namespace posix {
namespace tty {

// The main window's client area, in cells of 10 x 20 pixels so that the
// window's layout makes fonts of one terminal cell per character cell. It is as
// large as the window's client area, at least 81 x 26 cells, and small enough
// that the whole screen stays within CellGrid's bounds.
constexpr int kCellWidth = 10;
constexpr int kCellHeight = 20;
constexpr int kMinClientColumns = 81;
constexpr int kMinClientRows = 26;
// The screen: title line, menu bar, client area with the scroll bar to its right.
constexpr int kTitleRow = 0;
constexpr int kClientTop = 2;
constexpr int kMaxClientColumns = CellGrid::kMaxColumns - 1;  // the scroll bar takes one more
constexpr int kMaxClientRows = CellGrid::kMaxRows - kClientTop;
constexpr int kMinLayoutWidth = kMinClientColumns + 1;           // 82
constexpr int kMinLayoutHeight = kClientTop + kMinClientRows;    // 28

struct ClientCells {
  int columns = kMinClientColumns;
  int rows = kMinClientRows;
};
// The cells a client area of width x height pixels shows: whole cells, within the bounds above.
ClientCells clientCells(int width, int height);

// Cell attributes.
constexpr unsigned kUnderline = 1;
constexpr unsigned kReverse = 2;
constexpr unsigned kBold = 4;
constexpr unsigned kTerminalColors = 8;  // outside the layout: the terminal's own colours

struct TtyCell {
  char32_t ch = ' ';
  COLORREF fg = 0x000000;
  COLORREF bg = 0x000000;
  unsigned attrs = kTerminalColors;
  bool operator==(const TtyCell& o) const { return ch == o.ch && fg == o.fg && bg == o.bg && attrs == o.attrs; }
};

class TtyScreen {
 public:
  TtyScreen(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  // The cell at (x, y), or nullptr outside the screen.
  TtyCell* at(int x, int y);
  const TtyCell* at(int x, int y) const;
  // Writes text (Windows-1252 bytes) from (x, y), cut at the right edge.
  void text(int x, int y, const std::string& s, COLORREF fg, COLORREF bg, unsigned attrs = 0);
  void put(int x, int y, char32_t ch, COLORREF fg, COLORREF bg, unsigned attrs = 0);
  void fill(int x, int y, int w, int h, COLORREF fg, COLORREF bg);
  // One row as UTF-8 text (for tests and logs).
  std::string rowText(int y) const;

  bool cursorVisible = false;
  int cursorX = 0;
  int cursorY = 0;

 private:
  int width_;
  int height_;
  std::vector<TtyCell> cells_;
};

// The character a window cell shows: OEM (line-drawing face) cells show the VT100
// special graphics for "`" and "a".."~" and the IBM PC graphics above 0x7F; ANSI
// cells show Windows-1252. Control characters show as blanks.
char32_t glyphOf(const Cell& cell);
// A Windows-1252 byte as Unicode (control characters as blanks).
char32_t ansiGlyph(unsigned char byte);
// UTF-8 of one character.
std::string utf8(char32_t ch);

// ---- what a frame shows ------------------------------------------------------------------

struct ControlFrame {
  ControlView view;
  const CellGrid* grid = nullptr;  // what the control painted, in 8 x 16 pixel cells
};

struct DialogFrame {
  std::string caption;
  int clientWidth = 0;   // pixels
  int clientHeight = 0;
  const CellGrid* grid = nullptr;  // the dialog's own background
  std::vector<ControlFrame> controls;
};

struct Frame {
  int width = kMinLayoutWidth;  // the terminal
  int height = kMinLayoutHeight;
  bool hasWindow = false;
  ClientCells clientArea;  // the main window's client area (clamped to the bounds when drawn)
  std::string title;
  std::vector<MenuNode> menu;
  MenuNavigator nav;
  const CellGrid* client = nullptr;
  COLORREF clientBackground = 0x000000;
  bool scrollBar = false;
  int scrollMin = 0, scrollMax = 0, scrollPos = 0;
  std::vector<DialogFrame> dialogs;              // oldest first; the last one has the input
  std::vector<const MessageBoxState*> boxes;     // oldest first
  // The caret: in the main window's client area (dialog -1), in control `control`
  // of dialog `dialog`, or elsewhere (-2: not shown).
  bool caretVisible = false;
  int caretDialog = -1;
  int caretControl = -1;
  POINT caretPos{0, 0};
};

// The client area a frame shows, and the size of the whole layout: the client,
// the title line and the menu bar above it, the scroll bar column to its right.
ClientCells clientOf(const Frame& frame);
int layoutWidth(const Frame& frame);
int layoutHeight(const Frame& frame);

TtyScreen renderFrame(const Frame& frame);

// The text of the note a terminal of width x height shows when the layout does
// not fit in it; empty when it does.
std::string sizeWarning(int width, int height, int layoutWidth, int layoutHeight);

// ---- dialogs ------------------------------------------------------------------------------

// Where a dialog lies: its frame from (x, y), its client area from (x + 1, y + 1)
// in cells of kDialogBaseX x kDialogBaseY pixels.
struct DialogPlacement {
  int x = 0, y = 0, width = 0, height = 0;
  int columns = 0, rows = 0;  // client cells
};
// Dialogs are centred on the part of the layout that the terminal shows.
DialogPlacement placeDialog(const DialogFrame& dialog, const Frame& frame);
// The open list of a combo box: its rows on the screen and the first entry shown.
struct ComboList {
  int x = 0, y = 0, width = 0, rows = 0;
  int first = 0;
};
ComboList comboList(const DialogPlacement& place, const ControlView& combo);

// ---- what a click lands on ----------------------------------------------------------------

struct Hit {
  enum Kind {
    kNothing,      // outside anything that takes clicks
    kMenuBar,      // index: bar item
    kMenuEntry,    // level, index
    kMenuOutside,  // anywhere else while the menu is open
    kClient,       // point: client pixels of the main window
    kScrollBar,    // index: SB_LINEUP, SB_LINEDOWN, SB_PAGEUP or SB_PAGEDOWN
    kDialog,       // point: client pixels of the topmost dialog
    kComboItem,    // control, index: an entry of an open combo box list of the topmost dialog
    kBoxButton,    // index: button of the topmost message box
  };
  Kind kind = kNothing;
  int level = 0;
  int index = 0;
  int control = 0;
  POINT point{0, 0};
};
Hit hitTest(const Frame& frame, int x, int y);

}  // namespace tty
}  // namespace posix
