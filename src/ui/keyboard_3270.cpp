// The 3270 keyboard: typing into unprotected fields with a local echo, the
// editing and cursor keys, the moves between input fields, and the attention
// keys Enter and PF1-PF24. Typed characters wait in typedChars until the
// cursor leaves the field or an attention key commits them into the field.
#include <cstdio>
#include <cstring>

#include "net/socket_io.h"
#include "terminal/comm_tcp.h"
#include "tn3270/field_access.h"
#include "tn3270/field_attribute.h"
#include "ui/window_display.h"
#include "ui/window_proc.h"
#include "vt100/nvt_screen.h"

namespace {

constexpr uint8_t kEnterAid = 0x7D;
// Passed to the field searches: no position given, move on from the current field.
constexpr uint32_t kNoPosition = 10000;
constexpr int kTypedCapacity = static_cast<int>(sizeof(CommTcp::typedChars));

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isEnterChar(unsigned char c) { return c == 13 || c == 10; }

// The window still belongs to the object: a message box shown on the way
// (a refused or failed send) runs a message loop in which it may have closed.
bool alive(HWND hwnd, const CommTcp& t) { return WindowHolds(hwnd, t); }

// The cursor's buffer position. It may lie off the screen (a column run past
// the end of the last row, or a cursor never placed), so it is kept wide.
long long cursorPosition(const CommTcp& t) {
  return static_cast<long long>(t.cursorRow) * kScreenColumns + t.cursorColumn;
}

bool onScreen(long long p) { return p >= 0 && p < kScreenPositions; }

// The attribute of the field owning a position; off the screen, no field.
uint8_t attributeAt(const CommTcp& t, long long p) { return onScreen(p) ? t.positionAttribute[p] : 0; }

int pixel(long long cells, int cellSize) {
  const long long v = cells * cellSize;
  return v > 0x3FFFFFFF ? 0x3FFFFFFF : (v < -0x3FFFFFFF ? -0x3FFFFFFF : static_cast<int>(v));
}

// Draws one character in the cell of a screen position, as the echo draws it.
void drawAt(const CommTcp& t, long long p, char c) {
  SelectNvtCellStyle(t, t.deviceContext, t.nvtCurrentAttribute & ~kAttrLineDrawing);
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

// The pending input is over (committed): nothing typed remains, so moving
// right in the next field counts blanks rather than characters of this one.
void endPendingInput(CommTcp& t) {
  t.typedCount = 0;
  std::memset(t.typedChars, 0, sizeof t.typedChars);
}

// Keeps the count of pending characters within the buffer.
void boundTypedCount(CommTcp& t) {
  if (t.typedCount < 0) t.typedCount = 0;
  if (t.typedCount > kTypedCapacity) t.typedCount = kTypedCapacity;
}

void typeCharacter(CommTcp& t, HWND hwnd, unsigned char x) {
  const long long p = cursorPosition(t);
  // Characters go only to a cursor on the screen, and no more than the
  // pending buffer holds: further keys are refused until a commit.
  if (!onScreen(p) || t.typedCount >= kTypedCapacity) return;
  const uint8_t next = attributeAt(t, p + 1);
  if (fieldIsProtected(next)) return;
  if (fieldIsNumeric(next) && !isDigit(x & 0x7F)) return;

  t.echoChar = static_cast<char>(x);
  {
    EchoContext dc(t, hwnd);
    const uint8_t own = t.positionAttribute[p];
    if (t.traceFile) std::fprintf(t.traceFile, " image5 [%2x]  Input Char: %c \n", own, x);
    // A non-display field shows a blank. So does a typed null, which the
    // echo would otherwise not draw, leaving the cursor behind the count.
    if (fieldIsNonDisplay(own) || x == 0) t.echoChar = ' ';
    const bool pastRowEnd = t.cursorColumn >= kScreenColumns;
    nvt::insertChar(t, static_cast<unsigned char>(t.echoChar));
    t.Present();
    // Past the end of its row the echo lands off the screen; show it in the
    // cell of its position, where the commit will put it.
    if (pastRowEnd) drawAt(t, p, t.echoChar);
    t.typedChars[t.typedCount++] = static_cast<char>(x);
    placeCaret(t);
  }
}

// Backspace, Left arrow and Delete drop the last pending character; the
// screen keeps it until the next typed character replaces it.
void backspace(CommTcp& t) {
  const uint8_t a = attributeAt(t, cursorPosition(t) - 1);
  if (fieldIsModified(a) && !fieldIsProtected(a) && t.cursorColumn >= 1 && t.typedCount >= 1) {
    --t.typedCount;
    --t.cursorColumn;
    placeCaret(t);
  }
}

// Right arrow: the skipped cell counts as a typed blank.
void cursorRight(CommTcp& t) {
  const uint8_t a = attributeAt(t, cursorPosition(t) + 1);
  if (fieldIsModified(a) && !fieldIsProtected(a) && t.cursorColumn < kScreenColumns && t.typedCount < kTypedCapacity) {
    ++t.cursorColumn;
    if (t.typedChars[t.typedCount] == 0) t.typedChars[t.typedCount] = ' ';
    ++t.typedCount;
    placeCaret(t);
  }
}

int currentFieldLength(const CommTcp& t) {
  if (t.currentField < 0 || t.currentField >= fields::validFieldCount(t)) return 0;
  return static_cast<int>(fields::screenSpan(t.fieldTable[t.currentField]));
}

// Commits the pending characters into the current field and blanks on the
// screen the part of the field the commit cleared, from the cursor on.
void commitAndBlankTail(CommTcp& t, HWND hwnd) {
  if (t.typedCount != 0) {
    t.PutFieldInfoToBuff(t.typedChars, static_cast<unsigned int>(t.typedCount));
    t.echoChar = ' ';
    EchoContext dc(t, hwnd);
    const long long start = cursorPosition(t);
    const int cells = currentFieldLength(t) - t.typedCount;
    for (int k = 0; k < cells; ++k) {
      const long long q = start + k;
      if (q >= kScreenPositions) break;
      if (q >= 0) drawAt(t, q, t.echoChar);
    }
  }
  endPendingInput(t);
}

// Tab and Back-tab: commit, then on to the next (previous) input field.
void moveToField(CommTcp& t, HWND hwnd, bool forward) {
  commitAndBlankTail(t, hwnd);
  uint32_t q = 0;
  const int found = forward ? t.FindNextInputCursorPos(kNoPosition, &q) : t.FindPrevInputCursorPos(kNoPosition, &q);
  if (!found) return;
  if (t.traceFile)
    std::fprintf(t.traceFile, "\n CursorPos Next Simpltst %d=(r %d,c %d) \n", static_cast<int>(q),
                 static_cast<int>(q / kScreenColumns), static_cast<int>(q % kScreenColumns));
  t.cursorRow = static_cast<int32_t>(q / kScreenColumns);
  t.cursorColumn = static_cast<int32_t>(q % kScreenColumns);
  placeCaret(t);
}

// Home: commit, then to the first input field of the screen (the search
// moving forward from the last field wraps to the first).
void home(CommTcp& t, HWND hwnd) {
  commitAndBlankTail(t, hwnd);
  const int count = fields::validFieldCount(t);
  if (count > 0) t.currentField = count - 1;
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
  t.PutFieldInfoToBuff(t.typedChars, static_cast<unsigned int>(t.typedCount));
  t.outboundLength = 0;
  t.send_message_NewTrans();
  SendBytes(&t, hwnd, t.socketHandle, t.traceFile, t.outboundRecord, t.outboundLength);
  if (alive(hwnd, t)) endPendingInput(t);
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
  boundTypedCount(*this);
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
  const unsigned char x = static_cast<unsigned char>(ch & 0xFF);
  if (refusedRepeats.left > 0) {
    if (refusedRepeats.window == hwnd && isEnterChar(x) && socketHandle == INVALID_SOCKET) {
      --refusedRepeats.left;
      return;
    }
    refusedRepeats.left = 0;
  }
  boundTypedCount(*this);
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
