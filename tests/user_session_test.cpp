// Whole user sessions, one per mode, against a host played by the test on
// 127.0.0.1. After the connection is made, everything the user does reaches
// the window as its own messages through the queue: keys (turned into
// characters by TranslateMessage), menu commands, mouse clicks at cell
// centres, the scroll bar and a resize. The host's bytes and the window's
// cells are checked exactly at each step.
#include <string>

#include "session_fixture.h"
#include "tn3270/ebcdic.h"
#include "ui/resource.h"

namespace {

using posix::testing::messageBoxes;

// The PC keyboard's scan code of a letter or digit key of the main keyboard.
unsigned scanCode(char key) {
  static const char* const rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static const unsigned first[] = {0x02, 0x10, 0x1E, 0x2C};
  for (int r = 0; r < 4; ++r)
    for (int i = 0; rows[r][i]; ++i)
      if (rows[r][i] == key) return first[r] + static_cast<unsigned>(i);
  return 0;
}

// 3270 host data: text in EBCDIC, Set Buffer Address, Start Field.
Bytes ebcdic(const std::string& s) {
  Bytes out(s.begin(), s.end());
  Asc_To_Ebc(out.data(), static_cast<unsigned>(out.size()));
  return out;
}
Bytes sba(int row, int column) {
  Bytes out{0x11, 0, 0};
  cvpc3270(&out[1], row, column);
  return out;
}
Bytes sf(uint8_t attribute) { return Bytes{0x1D, attribute}; }
const Bytes kIc{0x13};
const Bytes kEraseWrite{0xF5, 0xC3};
const Bytes kEor{0xFF, 0xEF};

class UserSessionTest : public SessionFixture {
 protected:
  // ---- what the user does -------------------------------------------------------------------
  void post(UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageA(hwnd, message, wParam, lParam);
    posix::testing::pumpUntilIdle();
  }
  // The window given 810 x 520 pixels: cells of 10 x 20 once the layout has run.
  void resizeWindow() {
    post(WM_SIZE, SIZE_RESTORED, MAKELPARAM(810, 520));
    posix::testing::advanceClock(100);
  }
  void press(UINT vk, unsigned scan = 0, bool extended = false) {
    const LPARAM down = static_cast<LPARAM>(1u | (scan << 16) | (extended ? 1u << 24 : 0u));
    PostMessageA(hwnd, WM_KEYDOWN, vk, down);
    post(WM_KEYUP, vk, static_cast<LPARAM>(static_cast<uint32_t>(down) | 0xC0000000u));
  }
  void shift(bool down) { post(down ? WM_KEYDOWN : WM_KEYUP, VK_SHIFT, down ? 0x002A0001 : 0xC02A0001); }
  // Types letters and digits on the main keyboard, capitals with Shift.
  void typeKeys(const std::string& keys) {
    for (char c : keys) {
      const bool capital = c >= 'A' && c <= 'Z';
      const char key = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      if (capital) shift(true);
      press(static_cast<UINT>(key), scanCode(key));
      if (capital) shift(false);
    }
  }
  void menu(UINT id) { post(WM_COMMAND, id, 0); }
  LPARAM cellCentre(int column, int row) const {
    const CommTcp* t = terminal();
    return MAKELPARAM(column * t->cellWidth + t->cellWidth / 2, row * t->cellHeight + t->cellHeight / 2);
  }
  void click(int column, int row) {
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, cellCentre(column, row));
    post(WM_LBUTTONUP, 0, cellCentre(column, row));
  }
  void doubleClick(int column, int row) {
    click(column, row);
    PostMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, cellCentre(column, row));
    post(WM_LBUTTONUP, 0, cellCentre(column, row));
  }
  void drag(int fromColumn, int fromRow, int toColumn, int toRow) {
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, cellCentre(fromColumn, fromRow));
    PostMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, cellCentre(toColumn, toRow));
    post(WM_LBUTTONUP, 0, cellCentre(toColumn, toRow));
  }

  // ---- the host's side --------------------------------------------------------------------------
  void hostSends(const Bytes& bytes) { hostWrites(host, bytes); }
  // The host receives exactly `expected` (hex, "" for nothing) and no more.
  ::testing::AssertionResult hostGets(const std::string& expected) {
    const std::string got = hex(host.receive((expected.size() + 1) / 3));
    if (got == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the host got [" << got << "], expected [" << expected << "]";
  }
  std::string row(int r) {
    std::string text = posix::testing::rowText(hwnd, r, 80);
    return text.erase(text.find_last_not_of(' ') + 1);
  }
  // The end of a session: the window gone quietly and the program's exit code 0.
  void expectQuietEnd() {
    EXPECT_TRUE(windowEnded());
    EXPECT_EQ(posix::testing::quitCode(), 0);
    EXPECT_TRUE(messageBoxes().empty());
  }

  scripted::Host host;
};

TEST_F(UserSessionTest, LogonAndMenuOnA3270Host) {
  resizeWindow();
  connectTo(host, DialogAnswer{});
  ASSERT_FALSE(HasFatalFailure());
  hostSends(bytesOf({0xFF, 0xFD, 0x18}));  // DO TERMINAL-TYPE
  ASSERT_TRUE(hostGets("FF FB 18"));
  hostSends(bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}));
  ASSERT_TRUE(hostGets("FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0"));  // IBM-3278-2
  hostSends(bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}));  // EOR, BINARY
  ASSERT_TRUE(hostGets("FF FB 19 FF FD 19 FF FB 00 FF FD 00"));
  ASSERT_EQ(terminal()->terminalMode, 15);

  // The logon screen: a name field of 8 positions at (2, 9) holding the
  // cursor, a numeric PIN field of 4 at (3, 6), protected text around them.
  hostSends(kEraseWrite + sba(0, 0) + sf(0x60) + ebcdic("SIGN ON") + sba(2, 1) + sf(0x60) + ebcdic("USERID") +
            sf(0x40) + kIc + sba(2, 17) + sf(0x60) + sba(3, 1) + sf(0x60) + ebcdic("PIN") + sf(0x50) + sba(3, 10) +
            sf(0x60) + kEor);
  EXPECT_EQ(screenRows(4), " SIGN ON|\n|\n  USERID|\n  PIN|\n");
  EXPECT_EQ(terminal()->cursorRow, 2);
  EXPECT_EQ(terminal()->cursorColumn, 9);

  typeKeys("Joe");
  EXPECT_EQ(row(2), "  USERID Joe");
  EXPECT_TRUE(hostGets(""));  // nothing goes out while typing
  press(VK_TAB);
  EXPECT_EQ(terminal()->cursorRow, 3);
  EXPECT_EQ(terminal()->cursorColumn, 6);
  typeKeys("x1234");  // the letter is refused by the numeric field
  typeKeys("5");      // and a fifth digit by the protected position after it
  EXPECT_EQ(row(3), "  PIN 1234");
  EXPECT_EQ(terminal()->cursorColumn, 10);

  // Enter: AID, cursor (3, 10), then each modified field from its first
  // position, trailing nulls left out, in EBCDIC.
  press(VK_RETURN, 0x1C);
  EXPECT_TRUE(hostGets("7D C3 7A 11 C2 E9 D1 96 85 11 C3 F6 F1 F2 F3 F4 FF EF"));

  // The main menu, with an option field of 2 positions at (5, 13).
  hostSends(kEraseWrite + sba(0, 0) + sf(0x60) + ebcdic("MAIN MENU") + sba(2, 2) + ebcdic("1 BROWSE") + sba(3, 2) +
            ebcdic("2 EDIT") + sba(5, 1) + ebcdic("OPTION ===>") + sf(0x40) + kIc + sba(5, 15) + sf(0x60) + kEor);
  EXPECT_EQ(screenRows(6), " MAIN MENU|\n|\n  1 BROWSE|\n  2 EDIT|\n|\n OPTION ===>|\n");
  EXPECT_EQ(terminal()->cursorRow, 5);
  EXPECT_EQ(terminal()->cursorColumn, 13);

  // A double-click on protected text is the selector pen at that cell.
  doubleClick(4, 2);
  EXPECT_TRUE(hostGets("7E C2 E4 FF EF"));

  // A click back into the option field, a 2, and Shift+F5: PF17.
  click(13, 5);
  typeKeys("2");
  shift(true);
  press(VK_F5, 0x3F);
  shift(false);
  EXPECT_TRUE(hostGets("C5 C6 5E 11 C6 5D F2 FF EF"));

  // The 3270 menu's keys send the bare AID; the screen stays until the host answers.
  menu(IDM_CLEARKEY);
  EXPECT_TRUE(hostGets("6D FF EF"));
  menu(IDM_PA1);
  EXPECT_TRUE(hostGets("6C FF EF"));
  EXPECT_EQ(screenRows(6), " MAIN MENU|\n|\n  1 BROWSE|\n  2 EDIT|\n|\n OPTION ===> 2|\n");

  menu(IDM_EXIT);
  EXPECT_TRUE(host.peerClosed());
  expectQuietEnd();
}

TEST_F(UserSessionTest, ShellSessionOnAVt100Host) {
  resizeWindow();
  DialogAnswer answer;
  answer.vt100 = true;
  connectTo(host, answer);
  ASSERT_FALSE(HasFatalFailure());
  hostSends(bytesOf({0xFF, 0xFD, 0x18}));
  ASSERT_TRUE(hostGets("FF FB 18"));
  hostSends(bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}));
  ASSERT_TRUE(hostGets("FF FA 18 00 56 54 31 30 30 FF F0"));  // VT100
  hostSends(bytesOf({0xFF, 0xFB, 0x01, 0xFF, 0xFB, 0x03}));  // WILL ECHO, WILL SGA
  ASSERT_TRUE(hostGets("FF FD 01 FF FD 03"));
  ASSERT_EQ(terminal()->terminalMode, 2);

  // Forty lines and a prompt: the first sixteen go up into the history.
  std::string output = "\x1b[H\x1b[2J";
  for (int i = 1; i <= 40; ++i) output += "line " + std::to_string(i) + "\r\n";
  hostSends(text(output + "$ "));
  std::string live;
  for (int i = 17; i <= 40; ++i) live += "line " + std::to_string(i) + "|\n";
  EXPECT_EQ(screenRows(25), live + "$|\n");

  // "ls" and Return go out as typed; the screen changes only with the echo.
  typeKeys("ls");
  press(VK_RETURN, 0x1C);
  EXPECT_TRUE(hostGets("6C 73 0D"));
  EXPECT_EQ(row(24), "$");
  hostSends(text("ls\r\nalpha.txt  beta.txt\r\n$ "));
  live.clear();
  for (int i = 19; i <= 40; ++i) live += "line " + std::to_string(i) + "|\n";
  live += "$ ls|\nalpha.txt  beta.txt|\n$|\n";
  EXPECT_EQ(screenRows(25), live);

  // The cursor keys send ANSI sequences, and application sequences once the
  // host asks for cursor-key application mode.
  press(VK_UP, 0x48, true);
  EXPECT_TRUE(hostGets("1B 5B 41"));
  hostSends(text("\x1b[?1h"));
  press(VK_UP, 0x48, true);
  EXPECT_TRUE(hostGets("1B 4F 41"));

  // A page up shows the 25 rows above the live screen: seven never written,
  // then the eighteen lines that scrolled off. A page down comes back.
  post(WM_VSCROLL, SB_PAGEUP, 0);
  EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 75);
  std::string history;
  for (int i = 0; i < 7; ++i) history += "|\n";
  for (int i = 1; i <= 18; ++i) history += "line " + std::to_string(i) + "|\n";
  EXPECT_EQ(screenRows(25), history);
  post(WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 100);
  EXPECT_EQ(screenRows(25), live);

  // A file name selected with the mouse, copied, and pasted to the host.
  drag(11, 23, 18, 23);
  EXPECT_EQ(posix::testing::grid(hwnd)->at(11, 23)->bg, terminal()->protectedNormalColor);  // highlighted
  EXPECT_EQ(posix::testing::grid(hwnd)->at(18, 23)->bg, terminal()->protectedNormalColor);
  EXPECT_EQ(posix::testing::grid(hwnd)->at(19, 23)->bg, terminal()->backgroundColor);
  menu(IDM_COPY);
  EXPECT_EQ(posix::testing::clipboardText(), "beta.txt");
  EXPECT_TRUE(hostGets(""));
  menu(IDM_PASTE);
  EXPECT_TRUE(hostGets("62 65 74 61 2E 74 78 74"));

  // An escape sequence typed into the Escape dialog.
  int dialogs = 0;
  posix::testing::setDialogHandler([&](HWND dialog, const std::string& caption) {
    ++dialogs;
    EXPECT_EQ(caption, "Please Input Escape Sequence");
    EXPECT_TRUE(posix::testing::typeInto(dialog, IDC_ESCAPETEXT, "^[[0m"));
    EXPECT_TRUE(posix::testing::pressButton(dialog, IDOK));
  });
  menu(IDM_ESCAPE);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(hostGets("1B 5B 30 6D"));

  // The keep-alive: "ls" and four Returns every ten seconds while the Timer is on.
  const HMENU bar = GetMenu(hwnd);
  menu(IDM_TIMER);
  EXPECT_TRUE(GetMenuState(bar, IDM_TIMER, MF_BYCOMMAND) & MF_CHECKED);
  posix::testing::advanceClock(10000);
  EXPECT_TRUE(hostGets("6C 73 0D 0D 0D 0D"));
  menu(IDM_TIMER);
  EXPECT_FALSE(GetMenuState(bar, IDM_TIMER, MF_BYCOMMAND) & MF_CHECKED);
  posix::testing::advanceClock(10000);
  EXPECT_TRUE(hostGets(""));

  host.closeConnection();
  expectQuietEnd();
}

}  // namespace
