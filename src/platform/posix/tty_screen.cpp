// The terminal display's screen: what each cell shows, and what a click lands on.
#include "platform/posix/tty_screen.h"

#include <algorithm>

namespace posix {
namespace tty {
namespace {

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kNavy = RGB(0, 0, 128);
const COLORREF kLightGray = RGB(192, 192, 192);
const COLORREF kGray = RGB(128, 128, 128);
const COLORREF kDarkRed = RGB(128, 0, 0);

// Box drawing and the scroll bar.
constexpr char32_t kHorizontal = 0x2500, kVertical = 0x2502;
constexpr char32_t kTopLeft = 0x250C, kTopRight = 0x2510, kBottomLeft = 0x2514, kBottomRight = 0x2518;
constexpr char32_t kTeeLeft = 0x251C, kTeeRight = 0x2524;
constexpr char32_t kArrowUp = 0x25B2, kArrowDown = 0x25BC, kArrowRight = 0x25BA;
constexpr char32_t kTrack = 0x2591, kThumb = 0x2588, kCheck = 0x2713;

// The limit of a dialog's client area in cells, whatever its template says.
constexpr int kMaxDialogColumns = 1024;
constexpr int kMaxDialogRows = 512;

// VT100 special graphics for 0x5F..0x7E.
const char32_t kDecGraphics[32] = {
    0x0020, 0x25C6, 0x2592, 0x2409, 0x240C, 0x240D, 0x240A, 0x00B0, 0x00B1, 0x2424, 0x240B,
    0x2518, 0x2510, 0x250C, 0x2514, 0x253C, 0x23BA, 0x23BB, 0x2500, 0x23BC, 0x23BD, 0x251C,
    0x2524, 0x2534, 0x252C, 0x2502, 0x2264, 0x2265, 0x03C0, 0x2260, 0x00A3, 0x00B7};

// IBM PC (code page 437) characters 0x80..0xFF.
const char32_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x0020};

// Windows-1252 characters 0x80..0x9F (blank where the code page has none).
const char32_t kCp1252High[32] = {0x20AC, 0x0020, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0020, 0x017D, 0x0020,
                                  0x0020, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0020, 0x017E, 0x0178};

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int ceilDiv(int a, int b) { return a <= 0 ? 0 : (a + b - 1) / b; }

// ---- the window ------------------------------------------------------------------------------

// A grid cell's attributes on the screen.
unsigned attrsOf(const Cell& cell) { return cell.underline ? kUnderline : 0; }

void drawTitle(TtyScreen& s, const Frame& f) {
  s.fill(0, kTitleRow, layoutWidth(f), 1, kWhite, kNavy);
  s.text(1, kTitleRow, f.title, kWhite, kNavy, kBold);
}

// A label with its mnemonic underlined.
void drawLabel(TtyScreen& s, int x, int y, const std::string& text, COLORREF fg, COLORREF bg) {
  const MenuLabel label = menuLabel(text);
  const size_t tab = label.text.find('\t');
  s.text(x, y, label.text.substr(0, tab), fg, bg);
  if (label.mnemonic >= 0 && (tab == std::string::npos || static_cast<size_t>(label.mnemonic) < tab))
    if (TtyCell* c = s.at(x + label.mnemonic, y)) c->attrs |= kUnderline;
}

void drawMenuBar(TtyScreen& s, const Frame& f, const MenuLayout& layout) {
  s.fill(0, kMenuBarRow, layoutWidth(f), 1, kBlack, kLightGray);
  for (size_t i = 0; i < f.menu.size(); ++i) {
    const MenuNode& item = f.menu[i];
    const bool lit = f.nav.barItem() == static_cast<int>(i);
    const COLORREF fg = lit ? kWhite : item.enabled() ? kBlack : kGray;
    const COLORREF bg = lit ? kNavy : kLightGray;
    s.fill(layout.barStart[i], kMenuBarRow, layout.barEnd[i] - layout.barStart[i], 1, fg, bg);
    drawLabel(s, layout.barStart[i] + 1, kMenuBarRow, item.text, fg, bg);
  }
}

void drawFrameBox(TtyScreen& s, int x, int y, int w, int h, COLORREF fg, COLORREF bg) {
  s.fill(x, y, w, h, fg, bg);
  for (int i = 1; i < w - 1; ++i) {
    s.put(x + i, y, kHorizontal, fg, bg);
    s.put(x + i, y + h - 1, kHorizontal, fg, bg);
  }
  for (int j = 1; j < h - 1; ++j) {
    s.put(x, y + j, kVertical, fg, bg);
    s.put(x + w - 1, y + j, kVertical, fg, bg);
  }
  s.put(x, y, kTopLeft, fg, bg);
  s.put(x + w - 1, y, kTopRight, fg, bg);
  s.put(x, y + h - 1, kBottomLeft, fg, bg);
  s.put(x + w - 1, y + h - 1, kBottomRight, fg, bg);
}

void drawPopups(TtyScreen& s, const Frame& f, const MenuLayout& layout) {
  for (size_t level = 0; level < layout.boxes.size(); ++level) {
    const MenuNode* popup = f.nav.popupAt(f.menu, static_cast<int>(level));
    if (!popup) break;
    const MenuBox& box = layout.boxes[level];
    drawFrameBox(s, box.x, box.y, box.width, box.height, kBlack, kLightGray);
    for (size_t i = 0; i < popup->items.size(); ++i) {
      const MenuNode& entry = popup->items[i];
      const int y = box.y + 1 + static_cast<int>(i);
      if (entry.separator()) {
        s.put(box.x, y, kTeeLeft, kBlack, kLightGray);
        for (int k = 1; k < box.width - 1; ++k) s.put(box.x + k, y, kHorizontal, kBlack, kLightGray);
        s.put(box.x + box.width - 1, y, kTeeRight, kBlack, kLightGray);
        continue;
      }
      const bool lit = f.nav.levels()[level] == static_cast<int>(i);
      const COLORREF fg = lit ? kWhite : entry.enabled() ? kBlack : kGray;
      const COLORREF bg = lit ? kNavy : kLightGray;
      s.fill(box.x + 1, y, box.width - 2, 1, fg, bg);
      if (entry.checked()) s.put(box.x + 1, y, kCheck, fg, bg);
      drawLabel(s, box.x + 2, y, entry.text, fg, bg);
      const MenuLabel label = menuLabel(entry.text);
      const size_t tab = label.text.find('\t');
      if (tab != std::string::npos) {
        const std::string right = label.text.substr(tab + 1);
        s.text(box.x + box.width - 2 - static_cast<int>(right.size()), y, right, fg, bg);
      }
      if (entry.popup()) s.put(box.x + box.width - 2, y, kArrowRight, fg, bg);
    }
  }
}

void drawClient(TtyScreen& s, const Frame& f) {
  const ClientCells area = clientOf(f);
  // Only what the terminal shows is drawn.
  const int rows = std::min(area.rows, s.height() - kClientTop), columns = std::min(area.columns, s.width());
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const Cell* cell = f.client ? f.client->at(c, r) : nullptr;
      if (cell) {
        s.put(c, kClientTop + r, glyphOf(*cell), cell->fg, cell->bg, attrsOf(*cell));
      } else {
        s.put(c, kClientTop + r, ' ', kBlack, f.clientBackground);
      }
    }
}

// The row of the scroll bar's thumb, or -1 when the range is empty.
int thumbRow(const Frame& f) {
  if (f.scrollMax <= f.scrollMin) return -1;
  const long long span = static_cast<long long>(f.scrollMax) - f.scrollMin;
  const long long pos = std::clamp<long long>(f.scrollPos, f.scrollMin, f.scrollMax) - f.scrollMin;
  const int track = clientOf(f).rows - 2;
  return kClientTop + 1 + static_cast<int>(pos * (track - 1) / span);
}

void drawScrollBar(TtyScreen& s, const Frame& f) {
  if (!f.scrollBar) return;
  const ClientCells area = clientOf(f);
  const int column = area.columns;
  const int top = kClientTop, bottom = kClientTop + area.rows - 1;
  s.put(column, top, kArrowUp, kBlack, kLightGray);
  for (int y = top + 1; y < bottom; ++y) s.put(column, y, kTrack, kBlack, kLightGray);
  s.put(column, bottom, kArrowDown, kBlack, kLightGray);
  const int thumb = thumbRow(f);
  if (thumb >= 0) s.put(column, thumb, kThumb, kBlack, kLightGray);
}

// ---- dialogs -----------------------------------------------------------------------------------

struct ControlCells {
  int left, top, columns, rows;
};

ControlCells controlCells(const ControlView& v) {
  ControlCells c;
  c.left = floorDiv(v.rect.left, kDialogBaseX);
  c.top = floorDiv(v.rect.top, kDialogBaseY);
  c.columns = std::min(ceilDiv(v.rect.right - v.rect.left, kDialogBaseX), kMaxDialogColumns);
  c.rows = std::min(ceilDiv(v.rect.bottom - v.rect.top, kDialogBaseY), kMaxDialogRows);
  return c;
}

bool isButtonLike(ControlKind kind) {
  return kind == ControlKind::kPushButton || kind == ControlKind::kDefPushButton ||
         kind == ControlKind::kOwnerDrawButton;
}

void drawGroupFrame(TtyScreen& s, int x, int y, int w, int h, int labelLength, const DialogPlacement& p) {
  auto frameCell = [&](int cx, int cy, char32_t ch) {
    // Inside the dialog's client area only, and never over the group's label.
    if (cx < p.x + 1 || cy < p.y + 1 || cx >= p.x + 1 + p.columns || cy >= p.y + 1 + p.rows) return;
    if (cy == y && labelLength > 0 && cx >= x + 1 && cx <= x + labelLength) return;
    TtyCell* cell = s.at(cx, cy);
    if (cell && cell->ch == ' ') cell->ch = ch;
  };
  if (w < 2 || h < 2) return;
  for (int i = 1; i < w - 1; ++i) {
    frameCell(x + i, y, kHorizontal);
    frameCell(x + i, y + h - 1, kHorizontal);
  }
  for (int j = 1; j < h - 1; ++j) {
    frameCell(x, y + j, kVertical);
    frameCell(x + w - 1, y + j, kVertical);
  }
  frameCell(x, y, kTopLeft);
  frameCell(x + w - 1, y, kTopRight);
  frameCell(x, y + h - 1, kBottomLeft);
  frameCell(x + w - 1, y + h - 1, kBottomRight);
}

void drawComboList(TtyScreen& s, const DialogPlacement& place, const ControlView& v) {
  const ComboList list = comboList(place, v);
  for (int r = 0; r < list.rows; ++r) {
    const int index = list.first + r;
    const bool lit = index == v.selection;
    const COLORREF fg = lit ? kWhite : kBlack;
    const COLORREF bg = lit ? kNavy : kWhite;
    s.fill(list.x, list.y + r, list.width, 1, fg, bg);
    if (index < static_cast<int>(v.items.size()))
      s.text(list.x, list.y + r, v.items[static_cast<size_t>(index)].substr(0, static_cast<size_t>(list.width)), fg, bg);
  }
}

void drawDialog(TtyScreen& s, const DialogFrame& d, const DialogPlacement& p) {
  // The caption bar, the frame and the client area in the dialog's colours.
  drawFrameBox(s, p.x, p.y, p.width, p.height, kBlack, kLightGray);
  s.fill(p.x, p.y, p.width, 1, kWhite, kNavy);
  s.text(p.x + 1, p.y, d.caption, kWhite, kNavy, kBold);
  for (int r = 0; r < p.rows; ++r)
    for (int c = 0; c < p.columns; ++c) {
      const Cell* cell = d.grid ? d.grid->at(c, r) : nullptr;
      if (cell) {
        s.put(p.x + 1 + c, p.y + 1 + r, glyphOf(*cell), cell->fg, cell->bg, attrsOf(*cell));
      } else {
        s.put(p.x + 1 + c, p.y + 1 + r, ' ', kBlack, kLightGray);
      }
    }
  for (const ControlFrame& control : d.controls) {
    const ControlView& v = control.view;
    if (!v.visible) continue;
    const ControlCells cc = controlCells(v);
    for (int r = 0; r < cc.rows; ++r)
      for (int c = 0; c < cc.columns; ++c) {
        const int dc = cc.left + c, dr = cc.top + r;
        if (dc < 0 || dr < 0 || dc >= p.columns || dr >= p.rows) continue;
        const Cell* cell = control.grid ? control.grid->at(c, r) : nullptr;
        if (cell) s.put(p.x + 1 + dc, p.y + 1 + dr, glyphOf(*cell), cell->fg, cell->bg, attrsOf(*cell));
      }
    const int x = p.x + 1 + cc.left, y = p.y + 1 + cc.top;
    const int middle = y + (cc.rows - 1) / 2;
    if (v.kind == ControlKind::kGroupBox) {
      drawGroupFrame(s, x, y, cc.columns, cc.rows, static_cast<int>(withoutMnemonic(v.text).size()), p);
      continue;
    }
    // Push buttons carry brackets; the focused control shows in reverse, the
    // default button in bold.
    if (isButtonLike(v.kind) && cc.columns >= 3) {
      auto bracket = [&](int bx, char32_t ch) {
        if (bx < p.x + 1 || bx >= p.x + 1 + p.columns || middle < p.y + 1 || middle >= p.y + 1 + p.rows) return;
        if (TtyCell* cell = s.at(bx, middle)) cell->ch = ch;
      };
      if (v.kind != ControlKind::kOwnerDrawButton || v.focused) {
        bracket(x, '[');
        bracket(x + cc.columns - 1, ']');
      }
    }
    const bool marked = v.focused && (isButtonLike(v.kind) || v.kind == ControlKind::kCheckBox ||
                                      v.kind == ControlKind::kRadioButton);
    for (int c = 0; c < cc.columns; ++c) {
      const int dc = cc.left + c;
      if (dc < 0 || dc >= p.columns || middle < p.y + 1 || middle >= p.y + 1 + p.rows) continue;
      TtyCell* cell = s.at(x + c, middle);
      if (!cell) continue;
      if (marked && v.kind != ControlKind::kOwnerDrawButton) cell->attrs |= kReverse;
      if (v.isDefault && isButtonLike(v.kind)) cell->attrs |= kBold;
    }
  }
  // Open lists lie over everything else of the dialog.
  for (const ControlFrame& control : d.controls)
    if (control.view.visible && control.view.kind == ControlKind::kComboBox && control.view.dropped)
      drawComboList(s, p, control.view);
}

// ---- message boxes ----------------------------------------------------------------------------

void drawBox(TtyScreen& s, const MessageBoxState& box, const BoxLayout& l) {
  drawFrameBox(s, l.x, l.y, l.width, l.height, kBlack, kLightGray);
  s.fill(l.x, l.y, l.width, 1, kWhite, kNavy);
  s.text(l.x + 1, l.y, box.caption, kWhite, kNavy, kBold);
  for (size_t i = 0; i < l.lines.size(); ++i) s.text(l.x + 2, l.textTop + static_cast<int>(i), l.lines[i], kBlack, kLightGray);
  const std::vector<BoxButton> buttons = boxButtons(box.type);
  for (size_t i = 0; i < buttons.size() && i < l.buttonX.size(); ++i) {
    const bool focused = box.focus == static_cast<int>(i);
    const std::string label = buttonText(buttons[i]);
    s.text(l.buttonX[i], l.buttonRow, label, kBlack, kLightGray, focused ? kReverse : 0);
    const MenuLabel m = menuLabel(buttons[i].label);
    if (m.mnemonic >= 0)
      if (TtyCell* c = s.at(l.buttonX[i] + 2 + m.mnemonic, l.buttonRow)) c->attrs |= kUnderline;
  }
}

// The part of the layout the terminal shows.
int areaWidth(const Frame& f) { return std::min(f.width, layoutWidth(f)); }
int areaHeight(const Frame& f) { return std::min(f.height, layoutHeight(f)); }

void placeCursor(TtyScreen& s, const Frame& f) {
  s.cursorVisible = false;
  if (!f.caretVisible || !f.boxes.empty() || f.nav.isOpen()) return;
  int x = 0, y = 0;
  if (f.dialogs.empty()) {
    if (f.caretDialog != -1 || f.caretPos.x < 0 || f.caretPos.y < 0) return;
    const int column = f.caretPos.x / kCellWidth, row = f.caretPos.y / kCellHeight;
    const ClientCells area = clientOf(f);
    if (column >= area.columns || row >= area.rows) return;
    x = column;
    y = kClientTop + row;
  } else {
    const int top = static_cast<int>(f.dialogs.size()) - 1;
    if (f.caretDialog != top) return;
    const DialogFrame& d = f.dialogs.back();
    if (f.caretControl < 0 || f.caretControl >= static_cast<int>(d.controls.size())) return;
    const DialogPlacement p = placeDialog(d, f);
    const RECT& r = d.controls[static_cast<size_t>(f.caretControl)].view.rect;
    const int column = floorDiv(r.left + f.caretPos.x, kDialogBaseX);
    const int row = floorDiv(r.top + f.caretPos.y, kDialogBaseY);
    if (column < 0 || row < 0 || column >= p.columns || row >= p.rows) return;
    x = p.x + 1 + column;
    y = p.y + 1 + row;
  }
  if (x >= s.width() || y >= s.height()) return;
  s.cursorVisible = true;
  s.cursorX = x;
  s.cursorY = y;
}

}  // namespace

// ---- TtyScreen ------------------------------------------------------------------------------------

TtyScreen::TtyScreen(int width, int height)
    : width_(std::clamp(width, 0, CellGrid::kMaxColumns)),
      height_(std::clamp(height, 0, CellGrid::kMaxRows)),
      cells_(static_cast<size_t>(width_) * static_cast<size_t>(height_)) {}

TtyCell* TtyScreen::at(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  return &cells_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

const TtyCell* TtyScreen::at(int x, int y) const { return const_cast<TtyScreen*>(this)->at(x, y); }

void TtyScreen::put(int x, int y, char32_t ch, COLORREF fg, COLORREF bg, unsigned attrs) {
  if (TtyCell* c = at(x, y)) *c = TtyCell{ch, fg, bg, attrs};
}

void TtyScreen::text(int x, int y, const std::string& s, COLORREF fg, COLORREF bg, unsigned attrs) {
  for (size_t i = 0; i < s.size() && x + static_cast<int>(i) < width_; ++i)
    put(x + static_cast<int>(i), y, ansiGlyph(static_cast<unsigned char>(s[i])), fg, bg, attrs);
}

void TtyScreen::fill(int x, int y, int w, int h, COLORREF fg, COLORREF bg) {
  for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
    for (int i = std::max(0, x); i < std::min(width_, x + w); ++i) put(i, j, ' ', fg, bg);
}

std::string TtyScreen::rowText(int y) const {
  std::string out;
  for (int x = 0; x < width_; ++x)
    if (const TtyCell* c = at(x, y)) out += utf8(c->ch);
  return out;
}

char32_t ansiGlyph(unsigned char byte) {
  if (byte < 0x20 || byte == 0x7F) return ' ';
  if (byte < 0x80) return byte;
  if (byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

char32_t glyphOf(const Cell& cell) {
  const unsigned char byte = static_cast<unsigned char>(cell.ch);
  if (cell.charset != OEM_CHARSET) return ansiGlyph(byte);
  if (byte >= 0x5F && byte <= 0x7E) return kDecGraphics[byte - 0x5F];
  if (byte >= 0x80) return kCp437High[byte - 0x80];
  return byte < 0x20 || byte == 0x7F ? U' ' : static_cast<char32_t>(byte);
}

std::string utf8(char32_t ch) {
  std::string out;
  if (ch < 0x80) {
    out += static_cast<char>(ch);
  } else if (ch < 0x800) {
    out += static_cast<char>(0xC0 | (ch >> 6));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    out += static_cast<char>(0xE0 | (ch >> 12));
    out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (ch >> 18));
    out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  }
  return out;
}

ClientCells clientCells(int width, int height) {
  ClientCells cells;
  cells.columns = std::clamp(width / kCellWidth, kMinClientColumns, kMaxClientColumns);
  cells.rows = std::clamp(height / kCellHeight, kMinClientRows, kMaxClientRows);
  return cells;
}

ClientCells clientOf(const Frame& f) {
  ClientCells cells;
  cells.columns = std::clamp(f.clientArea.columns, kMinClientColumns, kMaxClientColumns);
  cells.rows = std::clamp(f.clientArea.rows, kMinClientRows, kMaxClientRows);
  return cells;
}

int layoutWidth(const Frame& f) { return clientOf(f).columns + 1; }
int layoutHeight(const Frame& f) { return kClientTop + clientOf(f).rows; }

std::string sizeWarning(int width, int height, int layoutWidth, int layoutHeight) {
  if (width >= layoutWidth && height >= layoutHeight) return std::string();
  return "Quillon needs a terminal of " + std::to_string(layoutWidth) + " x " + std::to_string(layoutHeight) +
         "; this one is " + std::to_string(width) + " x " + std::to_string(height);
}

DialogPlacement placeDialog(const DialogFrame& dialog, const Frame& f) {
  DialogPlacement p;
  p.columns = std::clamp(ceilDiv(dialog.clientWidth, kDialogBaseX), 1, kMaxDialogColumns);
  p.rows = std::clamp(ceilDiv(dialog.clientHeight, kDialogBaseY), 1, kMaxDialogRows);
  p.width = p.columns + 2;
  p.height = p.rows + 2;
  p.x = std::max(0, (areaWidth(f) - p.width) / 2);
  p.y = std::max(0, (areaHeight(f) - p.height) / 2);
  return p;
}

ComboList comboList(const DialogPlacement& place, const ControlView& combo) {
  const ControlCells cc = controlCells(combo);
  ComboList list;
  list.x = place.x + 1 + cc.left;
  list.y = place.y + 1 + cc.top + std::max(1, cc.rows);
  list.width = std::max(1, cc.columns);
  const int items = static_cast<int>(std::min<size_t>(combo.items.size(), kMaxDialogRows));
  list.rows = std::min(items, std::max(1, combo.listHeight / kDialogBaseY));
  list.first = std::clamp(combo.selection - list.rows + 1, 0, std::max(0, items - list.rows));
  return list;
}

TtyScreen renderFrame(const Frame& f) {
  TtyScreen s(f.width, f.height);
  MenuLayout layout;
  if (f.hasWindow) {
    layout = layoutMenu(f.menu, f.nav, std::max(f.width, layoutWidth(f)), std::max(f.height, layoutHeight(f)));
    drawTitle(s, f);
    drawMenuBar(s, f, layout);
    drawClient(s, f);
    drawScrollBar(s, f);
    drawPopups(s, f, layout);
  }
  for (const DialogFrame& d : f.dialogs) drawDialog(s, d, placeDialog(d, f));
  for (const MessageBoxState* box : f.boxes)
    if (box) drawBox(s, *box, layoutBox(*box, areaWidth(f), areaHeight(f)));
  placeCursor(s, f);
  const std::string warning = sizeWarning(f.width, f.height, layoutWidth(f), layoutHeight(f));
  if (!warning.empty() && f.height > 0) {
    s.fill(0, f.height - 1, f.width, 1, kWhite, kDarkRed);
    s.text(0, f.height - 1, warning, kWhite, kDarkRed, kBold);
    if (s.cursorY == f.height - 1) s.cursorVisible = false;
  }
  return s;
}

Hit hitTest(const Frame& f, int x, int y) {
  Hit hit;
  if (!f.boxes.empty()) {
    const MessageBoxState* box = f.boxes.back();
    if (!box) return hit;
    const BoxLayout l = layoutBox(*box, areaWidth(f), areaHeight(f));
    for (size_t i = 0; i < l.buttonX.size(); ++i)
      if (y == l.buttonRow && x >= l.buttonX[i] && x < l.buttonX[i] + l.buttonWidth[i]) {
        hit.kind = Hit::kBoxButton;
        hit.index = static_cast<int>(i);
      }
    return hit;
  }
  if (!f.dialogs.empty()) {
    const DialogFrame& d = f.dialogs.back();
    const DialogPlacement p = placeDialog(d, f);
    for (size_t i = 0; i < d.controls.size(); ++i) {
      const ControlView& v = d.controls[i].view;
      if (!v.visible || v.kind != ControlKind::kComboBox || !v.dropped) continue;
      const ComboList list = comboList(p, v);
      if (x >= list.x && x < list.x + list.width && y >= list.y && y < list.y + list.rows) {
        hit.kind = Hit::kComboItem;
        hit.control = static_cast<int>(i);
        hit.index = list.first + (y - list.y);
        return hit;
      }
    }
    if (x > p.x && y > p.y && x <= p.x + p.columns && y <= p.y + p.rows) {
      hit.kind = Hit::kDialog;
      hit.point = POINT{(x - p.x - 1) * kDialogBaseX + kDialogBaseX / 2, (y - p.y - 1) * kDialogBaseY + kDialogBaseY / 2};
    }
    return hit;
  }
  if (!f.hasWindow) return hit;
  const MenuLayout layout =
      layoutMenu(f.menu, f.nav, std::max(f.width, layoutWidth(f)), std::max(f.height, layoutHeight(f)));
  if (f.nav.isOpen()) {
    for (int level = static_cast<int>(layout.boxes.size()) - 1; level >= 0; --level) {
      const MenuBox& b = layout.boxes[static_cast<size_t>(level)];
      if (x < b.x || x >= b.x + b.width || y < b.y || y >= b.y + b.height) continue;
      if (x > b.x && x < b.x + b.width - 1 && y > b.y && y < b.y + b.height - 1) {
        hit.kind = Hit::kMenuEntry;
        hit.level = level;
        hit.index = y - b.y - 1;
      }
      return hit;  // the frame takes the click and does nothing
    }
  }
  if (y == kMenuBarRow)
    for (size_t i = 0; i < layout.barStart.size(); ++i)
      if (x >= layout.barStart[i] && x < layout.barEnd[i] && x < layoutWidth(f)) {
        hit.kind = Hit::kMenuBar;
        hit.index = static_cast<int>(i);
        return hit;
      }
  if (f.nav.isOpen()) {
    hit.kind = Hit::kMenuOutside;
    return hit;
  }
  const ClientCells area = clientOf(f);
  if (y >= kClientTop && y < kClientTop + area.rows) {
    if (x >= 0 && x < area.columns) {
      hit.kind = Hit::kClient;
      hit.point = POINT{x * kCellWidth + kCellWidth / 2, (y - kClientTop) * kCellHeight + kCellHeight / 2};
      return hit;
    }
    if (x == area.columns && f.scrollBar) {
      const int thumb = thumbRow(f);
      int part = -1;
      if (y == kClientTop) {
        part = SB_LINEUP;
      } else if (y == kClientTop + area.rows - 1) {
        part = SB_LINEDOWN;
      } else if (thumb >= 0 && y < thumb) {
        part = SB_PAGEUP;
      } else if (thumb >= 0 && y > thumb) {
        part = SB_PAGEDOWN;
      }
      if (part >= 0) {
        hit.kind = Hit::kScrollBar;
        hit.index = part;
      }
    }
  }
  return hit;
}

}  // namespace tty
}  // namespace posix
