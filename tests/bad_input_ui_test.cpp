// Bad input from the user's side, through real window messages on a terminal
// connected to a host played by the test: megabytes of clipboard text pasted,
// keys with a repeat count of 65535, and mouse positions outside the window,
// each in both terminal modes. What must hold is named in each case: the bytes
// the host gets, the screen and selection, and that the window still answers.
#include <cstring>
#include <string>
#include <vector>

#include "bad_input_wire.h"
#include "connected_fixture.h"
#include "net/telnet.h"
#include "scripted_host.h"
#include "stream_bytes.h"
#include "tn3270/ebcdic.h"
#include "ui/resource.h"
#include "vt100/nvt_screen.h"

namespace {

using posix::testing::messageBoxes;

// A protected field at 1..5, an input field at 7..16 holding the cursor,
// protected from 18 to the end.
const Bytes kShortField =
    kEraseWrite + sba(0) + sf(0x60) + sba(6) + sf(0x40) + kInsertCursor + sba(17) + sf(0x60) + kEor;
// One input field from 1 to 1918.
const Bytes kLongField = kEraseWrite + sba(0) + sf(0x40) + kInsertCursor + sba(1919) + sf(0x60) + kEor;

// Where two byte strings first differ, for a readable failure on megabytes.
std::string firstDifference(const Bytes& got, const Bytes& expected) {
  if (got == expected) return "";
  size_t i = 0;
  while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
  return "got " + std::to_string(got.size()) + " bytes, expected " + std::to_string(expected.size()) +
         "; first difference at " + std::to_string(i);
}

class BadInputUi : public OnLoopback<NvtLayoutTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    t->connected = 1;
    loop.makeClientNonBlocking();  // as the event selection leaves the socket
  }
  // Puts the window in 3270 mode showing the screen of the record.
  void show3270(const Bytes& record) {
    t->terminalMode = 15;
    t->recordFill = 0;
    std::memcpy(t->receiveBuffer, record.data(), record.size());
    ParseData(window_, t->socketHandle, nullptr, t->receiveBuffer, static_cast<int>(record.size()), &t->terminalMode);
  }
  void toVt100() { t->terminalMode = 0; }
  std::string wire() { return hex(scripted::takeReady(loop.server)); }
  std::string row(int r, int columns = 80) { return posix::testing::rowText(window_, r, columns); }
  // A point in client pixels as the window gets it: negative values as Windows packs them.
  LPARAM at(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
  }
  LPARAM cellAt(int column, int row) { return at(column * t->cellWidth + 1, row * t->cellHeight + 1); }
};

// ---- pasting megabytes -----------------------------------------------------------------------

// The clipboard's text goes to the host exactly as it stands, up to its NUL or
// the end of the block, in order, in either mode; nothing else is sent, the
// screen is not touched, and the window then takes keys as before.
TEST_F(BadInputUi, PasteOfMegabytesSendsExactlyTheTextInBothModes) {
  std::string allBytes;
  for (int b = 1; b < 256; ++b) allBytes += static_cast<char>(b);
  std::string blockWithNul(3 << 20, 'x');
  blockWithNul[2 << 20] = '\0';
  const struct {
    const char* what;
    std::string block;
    size_t sent;
  } cases[] = {
      {"3 MB without a NUL", std::string(3 << 20, 'q'), 3u << 20},
      {"a NUL after 2 MB", blockWithNul, 2u << 20},
      {"every byte value but NUL, 1 MB", [&] {
         std::string s;
         while (s.size() < (1u << 20)) s += allBytes;
         return s;
       }(), 0},
  };
  for (const bool mode3270 : {false, true}) {
    if (mode3270)
      show3270(kShortField);
    else
      toVt100();
    const std::string screen = row(0);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (mode3270 ? ", 3270 mode" : ", VT100 mode"));
      const size_t length = c.sent ? c.sent : c.block.size();
      const Bytes expected(c.block.begin(), c.block.begin() + static_cast<long>(length));
      posix::testing::setClipboardBytes(c.block);
      badwire::Reader host(loop.server, expected.size(), 1 << 16);
      SendMessageA(window_, WM_COMMAND, IDM_PASTE, 0);
      EXPECT_EQ(firstDifference(host.bytes(), expected), "");
      EXPECT_EQ(wire(), "") << "nothing after the text";
      EXPECT_EQ(row(0), screen);
      EXPECT_EQ(t->clipboardData, nullptr);
    }
    // The window still answers keys: a character, or an Enter record.
    SendMessageA(window_, WM_CHAR, mode3270 ? '\r' : 'k', 1);
    EXPECT_EQ(wire(), mode3270 ? "7D 40 C7 FF EF" : "6B");
  }
  EXPECT_TRUE(messageBoxes().empty());
}

// ---- a key repeat count of 65535 ----------------------------------------------------------------

// VT100 mode: a character, however often repeated, goes out once, and a key
// down once; the window answers the next key as usual.
TEST_F(BadInputUi, KeyRepeatCountOf65535SendsOneKeyInVt100Mode) {
  const struct {
    const char* what;
    UINT message;
    WPARAM key;
    std::string sent;
  } cases[] = {
      {"character", WM_CHAR, 'x', "78"},
      {"Return", WM_CHAR, '\r', "0D"},
      {"Up arrow", WM_KEYDOWN, VK_UP, "1B 5B 41"},
      {"F1", WM_KEYDOWN, VK_F1, "1B 4F 50"},
      {"Delete", WM_KEYDOWN, VK_DELETE, "7F"},
  };
  toVt100();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SendMessageA(window_, c.message, c.key, 0xFFFF);
    EXPECT_EQ(wire(), c.sent);
    SendMessageA(window_, WM_CHAR, 'y', 1);
    EXPECT_EQ(wire(), "79");
  }
  EXPECT_TRUE(messageBoxes().empty());
}

// 3270 mode: each repeat of a character is a key of its own, as far as the
// field and the 120-character pending buffer let it in; 65535 Enters send
// 65535 records, each whole; a key down acts once. The window answers the next
// key as usual.
TEST_F(BadInputUi, KeyRepeatCountOf65535In3270ModeStopsAtTheFieldAndThePendingBuffer) {
  // Typing into the 10-position field: the keys fill it and stop at the
  // start-field position after it, where the next position is protected.
  show3270(kShortField);
  ASSERT_EQ(t->cursorColumn, 7);
  SendMessageA(window_, WM_CHAR, 'A', 0xFFFF);
  EXPECT_EQ(wire(), "");
  EXPECT_EQ(t->typedCount, 10);
  EXPECT_EQ(row(0).substr(7, 11), "AAAAAAAAAA ");
  SendMessageA(window_, WM_CHAR, '\r', 1);
  EXPECT_EQ(wire(), "7D 40 D1 11 40 C7 C1 C1 C1 C1 C1 C1 C1 C1 C1 C1 FF EF");

  // Typing into a field of 1,918 positions: the pending buffer's 120 characters.
  show3270(kLongField);
  SendMessageA(window_, WM_CHAR, 'B', 0xFFFF);
  EXPECT_EQ(t->typedCount, 120);
  EXPECT_EQ(t->cursorRow * 80 + t->cursorColumn, 121);
  EXPECT_EQ(row(1).substr(0, 42), std::string(41, 'B') + " ");
  SendMessageA(window_, WM_CHAR, '\r', 1);
  EXPECT_EQ(wire(), "7D C1 F9 11 40 C1 " + hex(Bytes(120, 0xC2)) + " FF EF");

  // Tab 65535 times on a screen with one input field ends on that field.
  show3270(kShortField);
  SendMessageA(window_, WM_CHAR, '\t', 0xFFFF);
  EXPECT_EQ(t->cursorRow * 80 + t->cursorColumn, 7);
  EXPECT_EQ(wire(), "");

  // F1 held: one PF1 record.
  SendMessageA(window_, WM_KEYDOWN, VK_F1, 0xFFFF);
  EXPECT_EQ(wire(), "F1 40 C7 FF EF");

  // Enter held: 65535 records of five bytes, in order and whole.
  const Bytes one{0x7D, 0x40, 0xC7, 0xFF, 0xEF};
  Bytes all;
  for (int i = 0; i < 0xFFFF; ++i) all.insert(all.end(), one.begin(), one.end());
  badwire::Reader host(loop.server, all.size(), 1 << 16);
  SendMessageA(window_, WM_CHAR, '\r', 0xFFFF);
  EXPECT_EQ(firstDifference(host.bytes(), all), "");

  // Still answering: a typed character is echoed, and Enter sends it.
  SendMessageA(window_, WM_CHAR, 'C', 1);
  EXPECT_EQ(row(0).substr(7, 2), "C ");
  SendMessageA(window_, WM_CHAR, '\r', 1);
  EXPECT_EQ(wire(), "7D 40 C8 11 40 C7 C3 FF EF");
  EXPECT_TRUE(messageBoxes().empty());
}

// ---- mouse positions outside the window ---------------------------------------------------------

// Positions left of or above the window (negative, as Windows reports them
// while a button is held) and far beyond its right and bottom edges: a VT100
// selection is clamped to the screen, the copied text is that of the clamped
// selection, and only its cells are highlighted; a double-click leaves the
// host's cursor alone.
TEST_F(BadInputUi, MouseOutsideTheWindowClampsTheVt100Selection) {
  toVt100();
  for (int r = 0; r < 25; ++r) std::memset(t->nvtChars + t->NvtCellIndex(kLive + r, 0), 'a' + r, 80);
  auto rows = [&](int from, int to) {  // whole rows, each with its line end
    std::string s;
    for (int r = from; r <= to; ++r) s += std::string(80, static_cast<char>('a' + r)) + "\r\n";
    return s;
  };
  const int cw = t->cellWidth, chh = t->cellHeight;
  const struct {
    const char* what;
    LPARAM press;
    LPARAM release;
    int startColumn, startRow, endColumn, endRow;
    std::string copied;
  } cases[] = {
      {"released above and left", cellAt(5, 2), at(-1, -1), 5, 2, 0, 0, rows(0, 1) + "cccccc"},
      {"released far left", cellAt(5, 2), at(-3000, 5 * chh + 1), 5, 2, 0, 5, std::string(75, 'c') + "\r\n" +
                                                                                    rows(3, 4) + "f"},
      {"released far right and below", cellAt(5, 2), at(32767, 32767), 5, 2, 80, 24,
       std::string(75, 'c') + "\r\n" + rows(3, 24)},
      {"pressed and released above", at(-5 * cw, -32768), at(-1, -chh), 0, 0, 0, 0, "a"},
      {"pressed beyond the bottom", at(3 * cw + 1, 30000), cellAt(4, 24), 3, 24, 4, 24, "yy"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < 25 * 81; ++i) t->nvtAttributes[t->NvtCellIndex(kLive + i / 81, i % 81)] &= ~kAttrSelected;
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, c.press);
    SendMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, c.release);
    SendMessageA(window_, WM_LBUTTONUP, 0, c.release);
    EXPECT_EQ(t->selStartColumn, c.startColumn);
    EXPECT_EQ(t->selStartRow, c.startRow);
    EXPECT_EQ(t->selEndColumn, c.endColumn);
    EXPECT_EQ(t->selEndRow, c.endRow);
    SendMessageA(window_, WM_COMMAND, IDM_COPY, 0);
    EXPECT_EQ(posix::testing::clipboardText(), c.copied);
    // Exactly the cells of the selection carry the highlight.
    int first = c.startRow * 81 + c.startColumn, last = c.endRow * 81 + c.endColumn;
    if (first > last) std::swap(first, last);
    for (int i = 0; i < 25 * 81; ++i) {
      const bool selected = (t->nvtAttributes[t->NvtCellIndex(kLive + i / 81, i % 81)] & kAttrSelected) != 0;
      ASSERT_EQ(selected, i >= first && i <= last) << "cell " << i;
    }
  }
  const int row = t->cursorRow, column = t->cursorColumn;
  SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, at(-1, -1));
  SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, at(32767, 32767));
  EXPECT_EQ(t->cursorRow, row);
  EXPECT_EQ(t->cursorColumn, column);
  EXPECT_EQ(wire(), "");
}

// 3270 mode: a click outside the window puts the cursor on the nearest screen
// cell, and a double-click there is the selector pen at that cell.
TEST_F(BadInputUi, MouseOutsideTheWindowPutsThe3270CursorOnTheNearestCell) {
  show3270(kShortField);
  const struct {
    const char* what;
    LPARAM point;
    int column, row;
    std::string pen;
  } cases[] = {
      {"above and left", at(-1, -1), 0, 0, "7E 40 40 FF EF"},
      {"far left of row 5", at(-32768, 5 * t->cellHeight + 1), 0, 5, "7E C6 50 FF EF"},
      {"far right and below", at(32767, 32767), 79, 23, "7E 5D 7F FF EF"},
      {"right of row 0", at(30000, 1), 79, 0, "7E C1 4F FF EF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, c.point);
    EXPECT_EQ(t->cursorColumn, c.column);
    EXPECT_EQ(t->cursorRow, c.row);
    EXPECT_EQ(t->cursorAddress, static_cast<uint32_t>(c.row * 80 + c.column));
    SendMessageA(window_, WM_LBUTTONUP, 0, at(-1, -1));  // ignored in 3270 mode
    EXPECT_EQ(t->cursorColumn, c.column);
    SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, c.point);  // a protected position
    EXPECT_EQ(wire(), c.pen);
  }
  EXPECT_TRUE(messageBoxes().empty());
}

}  // namespace
