// The 3270 keyboard: keys mapped to the field editing of tn3270/field_editing.h
// (typing, the editing and cursor keys, the moves between input fields, the
// attention keys Enter and PF1-PF24), with the local echo and the caret.
#include <cstdio>
#include <cstring>

#include "net/socket_io.h"
#include "terminal/comm_tcp.h"
#include "tn3270/field_editing.h"
#include "ui/keyboard_model3270.h"
#include "ui/window_display.h"
#include "ui/window_proc.h"
#include "vt100/nvt_screen.h"

namespace {

using fields::cursorPosition;
using fields::kEnterAid;
using fields::onScreen;

bool isEnterChar(unsigned char c) { return c == 13 || c == 10; }

// The window still belongs to the object: a message box shown on the way
// (a refused or failed send) runs a message loop in which it may have closed.
bool alive(HWND hwnd, const CommTcp& t) { return WindowHolds(hwnd, t); }

int pixel(long long cells, int cellSize) {
  const long long v = cells * cellSize;
  return v > 0x3FFFFFFF ? 0x3FFFFFFF : (v < -0x3FFFFFFF ? -0x3FFFFFFF : static_cast<int>(v));
}

// Draws one character in the cell of a screen position.
void drawAt(const CommTcp& t, long long p, char c) {
  TextOutA(t.deviceContext, pixel(p % kScreenColumns, t.cellWidth), pixel(p / kScreenColumns, t.cellHeight), &c, 1);
}

// The caret shows where the next character goes. Typing runs the column on
// past the end of a row; such a cursor is shown at the start of the next row,
// where its position lies.
void placeCaret(const CommTcp& t) {
  const long long p = cursorPosition(t);
  if (t.cursorColumn >= kScreenColumns && onScreen(p))
    SetCaretPos(pixel(p % kScreenColumns, t.cellWidth), pixel(p / kScreenColumns, t.cellHeight));
  else
    SetCaretPos(pixel(t.cursorColumn, t.cellWidth), pixel(t.cursorRow, t.cellHeight));
}

// The window's DC in deviceContext, with the font and colours of the echo,
// for the length of one drawing step. A DC already held (a parse in progress
// that sent this key) is put back afterwards.
class EchoContext {
 public:
  EchoContext(CommTcp& t, HWND hwnd) : t_(t), hwnd_(hwnd), previous_(t.deviceContext) {
    HideCaret(hwnd);
    t.deviceContext = GetDC(hwnd);
    SelectObject(t.deviceContext, t.screenFont);
    SetBkColor(t.deviceContext, t.backgroundColor);
    SetTextColor(t.deviceContext, t.unprotectedHighLightColor);
  }
  ~EchoContext() {
    ReleaseDC(hwnd_, t_.deviceContext);
    t_.deviceContext = previous_;
    ShowCaret(hwnd_);
  }
  EchoContext(const EchoContext&) = delete;
  EchoContext& operator=(const EchoContext&) = delete;

 private:
  CommTcp& t_;
  HWND hwnd_;
  HDC previous_;
};

void typeCharacter(CommTcp& t, HWND hwnd, unsigned char x) {
  if (!fields::mayType(t, x)) return;
  const long long p = cursorPosition(t);
  EchoContext dc(t, hwnd);
  t.echoChar = fields::echoOf(t, x);
  const bool pastRowEnd = t.cursorColumn >= kScreenColumns;
  nvt::insertChar(t, static_cast<unsigned char>(t.echoChar));
  t.Present();
  // Past the end of its row the echo lands off the screen; show it in the
  // cell of its position, where the commit will put it, in the echo's look.
  if (pastRowEnd) {
    SelectNvtCellStyle(t, t.deviceContext, t.nvtCurrentAttribute & ~kAttrLineDrawing);
    drawAt(t, p, t.echoChar);
  }
  fields::addTyped(t, x);
  placeCaret(t);
}

void backspace(CommTcp& t) {
  if (fields::dropTyped(t)) placeCaret(t);
}

void cursorRight(CommTcp& t) {
  if (fields::skipRight(t)) placeCaret(t);
}

// Commits the pending characters into the current field and blanks on the
// screen the part of the field the commit cleared, from the cursor on.
void commitAndBlankTail(CommTcp& t, HWND hwnd) {
  if (t.typedCount == 0) {
    fields::endPendingInput(t);
    return;
  }
  const long long start = cursorPosition(t);
  const int cells = fields::commitTyped(t);
  EchoContext dc(t, hwnd);
  for (int k = 0; k < cells; ++k) {
    const long long q = start + k;
    if (q >= kScreenPositions) break;
    if (q >= 0) drawAt(t, q, t.echoChar);
  }
}

// Tab and Back-tab: commit, then on to the next (previous) input field.
void moveToField(CommTcp& t, HWND hwnd, bool forward) {
  commitAndBlankTail(t, hwnd);
  if (fields::cursorToField(t, forward)) placeCaret(t);
}

// Home: commit, then to the first input field of the screen.
void home(CommTcp& t, HWND hwnd) {
  commitAndBlankTail(t, hwnd);
  fields::searchFromFirstField(t);
  moveToField(t, hwnd, true);
}

// Enter and the PF keys: commit, build the record for aid and send it.
// False when there is no connection to send it on.
bool enter(CommTcp& t, HWND hwnd) {
  if (t.socketHandle == INVALID_SOCKET) {
    // A refused PF key must not turn the next Enter into that key.
    t.aid = kEnterAid;
    disp_err(hwnd, "INVALID_SOCKET Before Sending");
    return false;
  }
  fields::buildAttentionRecord(t);
  SendBytes(&t, hwnd, t.socketHandle, t.traceFile, t.outboundRecord, t.outboundLength);
  if (alive(hwnd, t)) fields::endPendingInput(t);
  return true;
}

// A refused Enter ends the handling of its WM_CHAR: the repeats still to
// come are skipped while the connection stays missing.
struct RefusedRepeats {
  HWND window = nullptr;
  unsigned left = 0;
};
RefusedRepeats refusedRepeats;

}  // namespace

void CommTcp::KeyDown3270(HWND hwnd, WPARAM key, LPARAM) {
  if (modelEngine()) {
    KeyDownModel3270(*this, hwnd, key);
    return;
  }
  fields::boundTypedCount(*this);
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  // Attention identifiers are bytes: F1 (0x70) less 0x7F is 0xF1.
  const int code = static_cast<int>(key & 0xFFFF);
  int attention = -1;
  if (key >= VK_F1 && key <= VK_F9) {
    attention = (shift ? code + 0x51 : code - 0x7F) & 0xFF;  // PF13-PF21 : PF1-PF9
  } else if (key >= VK_F10 && key <= VK_F12) {
    attention = (shift ? code - 0x2F : code + 1) & 0xFF;  // PF22-PF24 : PF10-PF12
  } else {
    switch (key) {
      case VK_LEFT:
      case VK_DELETE:
        SendMessageA(hwnd, WM_CHAR, 8, 1);
        break;
      case VK_DOWN:
        SendMessageA(hwnd, WM_CHAR, 9, 1);
        break;
      case VK_UP:
        moveToField(*this, hwnd, false);
        break;
      case VK_RIGHT:
        cursorRight(*this);
        break;
      case VK_HOME:
        home(*this, hwnd);
        break;
      default:
        break;  // PgUp, PgDn, End and every other key do nothing
    }
  }
  if (attention >= 0) {
    aid = static_cast<uint8_t>(attention);
    SendMessageA(hwnd, WM_CHAR, 13, 1);
    // Sent or refused, the key's identifier is used up (a refusal for want
    // of a connection leaves it set).
    if (alive(hwnd, *this)) aid = kEnterAid;
  }
  if (alive(hwnd, *this)) placeCaret(*this);
}

void CommTcp::Char3270(HWND hwnd, WPARAM ch, LPARAM lParam) {
  if (modelEngine()) {
    CharModel3270(*this, hwnd, ch);
    return;
  }
  const unsigned char x = static_cast<unsigned char>(ch & 0xFF);
  if (refusedRepeats.left > 0) {
    if (refusedRepeats.window == hwnd && isEnterChar(x) && socketHandle == INVALID_SOCKET) {
      --refusedRepeats.left;
      return;
    }
    refusedRepeats.left = 0;
  }
  fields::boundTypedCount(*this);
  switch (x) {
    case 13:
    case 10:
      if (!enter(*this, hwnd)) {
        const unsigned repeat = LOWORD(lParam);
        refusedRepeats = RefusedRepeats{hwnd, repeat > 1 ? repeat - 1 : 0};
      }
      break;
    case 8:
      backspace(*this);
      break;
    case 9:
      moveToField(*this, hwnd, true);
      break;
    case 27:
      break;
    default:
      typeCharacter(*this, hwnd, x);
      break;
  }
}
