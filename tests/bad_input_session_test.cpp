// Bad input from a host, end to end: a host played by the test on 127.0.0.1,
// the terminal connected through the host dialog, its socket events handled by
// the message loop, and the window's cells as the user sees them. Overlong
// records, records with more fields than the table holds, orders addressing
// beyond the screen, a host that takes one byte at a time, a key held on a
// connection the host has reset, and a host that ends the connection inside a
// record.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bad_input_wire.h"
#include "embed/embedding.h"
#include "session_fixture.h"
#include "tn3270/ebcdic.h"
#include "ui/resource.h"

namespace {

using posix::testing::messageBoxes;

// Erases the screen, writes a protected "HELLO" at 1..5 and an input field from 7.
const Bytes kHello = kEraseWrite + sba(0) + sf(0x60) + ebcdic("HELLO") + sf(0x40) + kEor;

// The records the record handler was called with, in order.
HWND recordWindow = nullptr;
std::vector<Bytes>& records() {
  static std::vector<Bytes> seen;
  return seen;
}
void onRecord() {
  const CommTcp* t = reinterpret_cast<const CommTcp*>(GetWindowLongPtrA(recordWindow, 0));
  if (t) records().emplace_back(t->recordBuffer, t->recordBuffer + t->recordFill);
}

class BadInputSession : public SessionFixture {
 protected:
  void SetUp() override {
    SessionFixture::SetUp();
    if (HasFatalFailure()) return;
    records().clear();
    recordWindow = hwnd;
    // The window laid out as after its first resize: cells of 10 x 20.
    PostMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(810, 520));
    posix::testing::pumpUntilIdle();
    posix::testing::advanceClock(100);
  }

  // Connects and negotiates 3270 mode as a 3270 host does it.
  void connect3270() {
    connectTo(host, DialogAnswer{});
    ASSERT_FALSE(HasFatalFailure());
    hostWrites(host, bytesOf({0xFF, 0xFD, 0x18}));
    ASSERT_TRUE(hostGets("FF FB 18"));
    hostWrites(host, bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}));
    ASSERT_TRUE(hostGets("FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0"));
    hostWrites(host, bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}));
    ASSERT_TRUE(hostGets("FF FB 19 FF FD 19 FF FB 00 FF FD 00"));
    ASSERT_EQ(terminal()->terminalMode, 15);
    ASSERT_EQ(ncTcpSetEventHandler(&hwnd, &onRecord), 1);
  }
  void connectVt100() {
    DialogAnswer answer;
    answer.vt100 = true;
    connectTo(host, answer);
  }
  // More than the socket holds at once: written from a thread while the
  // terminal reads, until it has taken in everything.
  void hostFloods(const Bytes& bytes) {
    badwire::Writer writer(host.connection(), bytes);
    ASSERT_TRUE(pumpUntil([&] {
      return writer.done() && scripted::unreadBytes(static_cast<int>(terminalSocket())) == 0;
    }, 10000));
  }
  ::testing::AssertionResult hostGets(const std::string& expected) {
    const std::string got = hex(host.receive((expected.size() + 1) / 3, expected.empty() ? 50 : 3000));
    if (got == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the host got [" << got << "], expected [" << expected << "]";
  }
  std::string row(int r) {
    std::string text = posix::testing::rowText(hwnd, r, 80);
    return text.erase(text.find_last_not_of(' ') + 1);
  }
  void type(const std::string& keys) {
    for (char c : keys) SendMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(c), 1);
  }
  void expectQuietEnd() {
    EXPECT_TRUE(windowEnded());
    EXPECT_EQ(posix::testing::quitCode(), 0);
    EXPECT_TRUE(messageBoxes().empty());
  }

  scripted::Host host;
};

// ---- records longer than the record buffer ---------------------------------------------------

// A record that outgrows the buffer is dropped up to its IAC EOR: the screen
// keeps what it showed, the record handler never sees it, and the record after
// it is shown and handed over whole. Nothing goes back to the host.
TEST_F(BadInputSession, OverlongRecordsAreDroppedAndTheNextRecordIsUnderstood) {
  connect3270();
  ASSERT_FALSE(HasFatalFailure());
  const Bytes next = Bytes{0xF1, 0xC3} + sba(80) + ebcdic("NEXT") + kEor;  // a write over the old screen
  const size_t capacity = sizeof terminal()->recordBuffer;
  const struct {
    const char* what;
    Bytes record;
  } cases[] = {
      {"one byte more than the buffer", kEraseWrite + Bytes(capacity - 3, 0xC1) + kEor},
      {"100 KB", kEraseWrite + Bytes(100 * 1024, 0xC2) + kEor},
      {"100 KB of doubled IACs", kEraseWrite + repeat(bytesOf({0xC3, 0xFF, 0xFF}), 35000) + kEor},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    hostWrites(host, kHello);
    records().clear();
    hostFloods(c.record + next);
    EXPECT_EQ(screenRows(3), " HELLO|\nNEXT|\n|\n");
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0], next);
    EXPECT_EQ(terminal()->recordFill, 0);
    EXPECT_TRUE(hostGets(""));
  }
  EXPECT_TRUE(messageBoxes().empty());
}

// ---- more start fields than the field table holds ------------------------------------------------

// 600 fields of two characters, input and protected by turns: all of them are
// shown, the table holds the first 500, the fields beyond it take no keys (they
// could be neither reached by Tab nor sent), Tab cycles through the input
// fields of the table, Enter sends what was typed, and the next record is
// understood.
TEST_F(BadInputSession, MoreThan500FieldsAreShownAndOnlyTheTableIsReachable) {
  connect3270();
  ASSERT_FALSE(HasFatalFailure());
  Bytes record = kEraseWrite;
  for (int i = 0; i < 600; ++i) record = record + sf(i % 2 == 0 ? 0x40 : 0x60) + ebcdic("AB");
  hostWrites(host, record + kEor);
  for (int r = 0; r < 24; ++r) {
    std::string expected;
    for (int p = r * 80; p < r * 80 + 80; ++p) expected += p < 1800 ? " AB"[p % 3] : ' ';
    EXPECT_EQ(row(r), expected.substr(0, expected.find_last_not_of(' ') + 1)) << "row " << r;
  }
  const CommTcp* t = terminal();
  EXPECT_EQ(t->fieldCount, 500);
  EXPECT_EQ(t->fieldTable[499].begin, 3u * 498 + 1);

  // Field 551 (an input field past the table) at 1651..1652: a click there and a key do nothing.
  PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1651 % 80 * 10 + 5, 1651 / 80 * 20 + 5));
  posix::testing::pumpUntilIdle();
  ASSERT_EQ(t->cursorRow * 80 + t->cursorColumn, 1651);
  type("Q");
  EXPECT_EQ(t->typedCount, 0);
  EXPECT_EQ(row(20).substr(51, 2), "AB");

  // Back to the first field: Tab goes round the 250 input fields of the table.
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 5));
  int furthest = 0;
  for (int i = 0; i < 250; ++i) {
    type("\t");
    furthest = std::max(furthest, t->cursorRow * 80 + t->cursorColumn);
  }
  EXPECT_EQ(furthest, 3 * 498 + 1) << "the last input field of the table";
  EXPECT_EQ(t->cursorRow * 80 + t->cursorColumn, 1);
  type("Z\r");
  EXPECT_TRUE(hostGets("7D 40 C2 11 40 C1 E9 FF EF"));

  hostWrites(host, kHello);
  EXPECT_EQ(screenRows(2), " HELLO|\n|\n");
  EXPECT_EQ(t->fieldCount, 3);
  EXPECT_TRUE(messageBoxes().empty());
}

// ---- orders addressing beyond the screen ----------------------------------------------------------

// The screen a case leaves: nulls, with the given text at the given positions.
std::string screenWith(std::initializer_list<std::pair<uint32_t, std::string>> runs) {
  std::string screen(1920, '\0');
  for (const auto& run : runs) screen.replace(run.first, run.second.size(), run.second);
  return screen;
}

// Every order with an address of 1920 or more (12-bit form, 14-bit form,
// 0x3FFF): an address the 12-bit form cannot place on the screen makes Set
// Buffer Address, Repeat to Address and Erase Unprotected to Address do
// nothing; a 14-bit address reads as its low bits; the orders that carry no
// address (and those taken as data) act at the current position. Each record
// writes "A" at 1900 first and "B" after the order. Nothing is written past
// position 1919, and the next record is understood.
TEST_F(BadInputSession, OrdersWithAddressesBeyondTheScreenStayOnIt) {
  connect3270();
  ASSERT_FALSE(HasFatalFailure());
  const Bytes a = sba(1900) + ebcdic("A");
  const Bytes b = ebcdic("B");
  const std::string C19(19, 'C');
  const struct {
    const char* what;
    Bytes body;
    std::string screen;
    uint32_t cursor;
  } cases[] = {
      {"SBA 1920, 12-bit", a + bytesOf({0x11, 0x5E, 0x40}) + b, screenWith({{1900, "AB"}}), 0},
      {"SBA 4095, 12-bit", a + bytesOf({0x11, 0x7F, 0x7F}) + b, screenWith({{1900, "AB"}}), 0},
      {"SBA 1920, 14-bit", a + bytesOf({0x11, 0x07, 0x80}) + b, screenWith({{1900, "A"}, {0, "B"}}), 0},
      {"SBA 0x3FFF, 14-bit", a + bytesOf({0x11, 0x3F, 0xFF, 0xFF}) + b, screenWith({{1900, "A"}, {63, "B"}}), 0},
      {"RA to 1920", a + bytesOf({0x3C, 0x5E, 0x40, 0xC3}) + b, screenWith({{1900, "AB"}}), 0},
      {"RA to 4095", a + bytesOf({0x3C, 0x7F, 0x7F, 0xC3}) + b, screenWith({{1900, "AB"}}), 0},
      {"RA to 0x3FFF, 14-bit", a + bytesOf({0x3C, 0x3F, 0xFF, 0xFF, 0xC3}) + b,
       screenWith({{1900, "A" + C19}, {0, std::string(63, 'C') + "B"}}), 0},
      {"EUA to 1920", a + bytesOf({0x12, 0x5E, 0x40}) + b, screenWith({{1900, "AB"}}), 0},
      {"EUA to 1920, 14-bit", a + bytesOf({0x12, 0x07, 0x80}) + b, screenWith({{1900, "AB" + std::string(18, ' ')}}),
       0},
      {"SF after SBA 1920", a + bytesOf({0x11, 0x5E, 0x40}) + sf(0x60) + b, screenWith({{1900, "A B"}}), 0},
      {"SF in the last position", sba(1919) + sf(0x60) + b, screenWith({{1919, " "}, {0, "B"}}), 0},
      {"IC after SBA 4095", a + bytesOf({0x11, 0x7F, 0x7F, 0x13}) + b, screenWith({{1900, "AB"}}), 1901},
      {"PT after SBA 1920", a + bytesOf({0x11, 0x5E, 0x40, 0x05}) + b, screenWith({{1900, "AB"}}), 0},
      {"SFE with 1920", a + bytesOf({0x29, 0x5E, 0x40}) + b, screenWith({{1900, "A ; B"}}), 0},
      {"SA with 1920", a + bytesOf({0x28, 0x5E, 0x40}) + b, screenWith({{1900, "A ; B"}}), 0},
      {"MF with 1920", a + bytesOf({0x2C, 0x5E, 0x40}) + b, screenWith({{1900, "A ; B"}}), 0},
      {"GE with 4095", a + bytesOf({0x08, 0x7F, 0x7F}) + b, screenWith({{1900, "A \"\"B"}}), 0},
      {"data running past 1919", a + repeat(b, 21), screenWith({{1900, "A" + std::string(19, 'B')}, {0, "BB"}}), 0},
  };
  CommTcp* t = terminal();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // What lies past the screen in the three arrays must stay as it is.
    std::memset(t->screenChars + 1920, 0xA5, 80);
    std::memset(t->attributePositions + 1920, 0xA5, 80);
    std::memset(t->positionAttribute + 1920, 0xA5, 80);
    t->cursorAddress = 0;
    records().clear();
    hostWrites(host, kEraseWrite + c.body + kEor);
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->screenChars), 1920), c.screen);
    std::string shown = c.screen;
    std::replace(shown.begin(), shown.end(), '\0', ' ');
    EXPECT_EQ(posix::testing::rowText(hwnd, 0, 80), shown.substr(0, 80));
    EXPECT_EQ(posix::testing::rowText(hwnd, 23, 80), shown.substr(1840, 80));
    EXPECT_EQ(t->cursorAddress, c.cursor);
    EXPECT_LT(t->bufferAddress, 1920u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->screenChars) + 1920, 80), std::string(80, '\xA5'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->attributePositions) + 1920, 80), std::string(80, '\xA5'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->positionAttribute) + 1920, 80), std::string(80, '\xA5'));
  }
  hostWrites(host, kHello);
  EXPECT_EQ(screenRows(1), " HELLO|\n");
  EXPECT_TRUE(hostGets(""));
  EXPECT_TRUE(messageBoxes().empty());
}

// ---- a host that takes one byte at a time -----------------------------------------------------

// The smallest socket buffers on both ends and a host that reads one byte per
// call: the terminal's sends are accepted a little at a time (the pasted text
// alone is many times what both buffers hold), and still the host gets the
// paste and then the Enter record whole and in order.
TEST_F(BadInputSession, HostTakingOneByteAtATimeGetsTheWholeRecordInOrder) {
  connect3270();
  ASSERT_FALSE(HasFatalFailure());
  // An input field of 78 positions on each of rows 2..21, the cursor in the first.
  Bytes screen = kEraseWrite;
  for (uint32_t r = 2; r < 22; ++r) screen = screen + sba(r * 80) + sf(0x40) + sba(r * 80 + 79) + sf(0x60);
  hostWrites(host, screen + sba(2 * 80 + 1) + Bytes{0x13} + kEor);
  ASSERT_EQ(terminal()->cursorRow * 80 + terminal()->cursorColumn, 2 * 80 + 1);

  // The user fills every field; the record carries them all (1,625 bytes).
  const Bytes cursor = sba(21 * 80 + 79);  // where typing the last field leaves the cursor
  Bytes record = Bytes{0x7D, cursor[1], cursor[2]};
  for (uint32_t r = 2; r < 22; ++r) {
    std::string line;
    for (uint32_t k = 0; k < 78; ++k) line += static_cast<char>('A' + (r + k) % 26);
    type(line);
    if (r < 21) type("\t");
    record = record + sba(r * 80 + 1) + ebcdic(line);
  }
  record = record + kEor;
  ASSERT_EQ(record.size(), 1625u);
  std::string pasted;
  for (int i = 0; pasted.size() < 40 * 1024; ++i) pasted += "line " + std::to_string(i) + "\r\n";
  posix::testing::setClipboardBytes(pasted);

  badwire::shrinkBuffers(host.connection());
  badwire::shrinkBuffers(static_cast<int>(terminalSocket()));
  badwire::Reader slowHost(host.connection(), pasted.size() + record.size(), 1);
  SendMessageA(hwnd, WM_COMMAND, IDM_PASTE, 0);
  type("\r");
  const Bytes got = slowHost.bytes();
  ASSERT_EQ(got.size(), pasted.size() + record.size());
  EXPECT_EQ(std::string(got.begin(), got.begin() + static_cast<long>(pasted.size())), pasted);
  EXPECT_EQ(hex(Bytes(got.begin() + static_cast<long>(pasted.size()), got.end())), hex(record));
  EXPECT_TRUE(hostGets("")) << "nothing after the record";
  EXPECT_TRUE(messageBoxes().empty());
  EXPECT_TRUE(IsWindow(hwnd));
}

// ---- a key repeat count of 65535 on a connection the host has reset -------------------------------

// Enter held with a repeat count of 65535 after the host has reset the
// connection: the first send fails and is reported once; while its box is up
// the close of the connection arrives, the remaining repeats are dropped, and
// the program then ends as for any host close (not after 65,535 boxes).
TEST_F(BadInputSession, RepeatedEnterAfterAResetReportsOnceAndEnds) {
  connect3270();
  ASSERT_FALSE(HasFatalFailure());
  hostWrites(host, kHello);
  host.resetConnection();
  // A box runs a message loop of its own while the user reads it.
  posix::testing::setMessageBoxHandler([](const posix::MessageBoxRecord&) {
    posix::testing::pumpUntilIdle();
    return IDOK;
  });
  SendMessageA(hwnd, WM_CHAR, '\r', 0xFFFF);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].caption, "Sending A Char");
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
  EXPECT_EQ(messageBoxes().size(), 1u);
}

// ---- a host that resets the connection inside a record ---------------------------------------

enum class Ending { kReset, kClose };

struct CutSession {
  const char* name;
  bool mode3270;
  bool readFirst;  // the terminal has taken in the partial data before the connection ends
  Ending ending;
};

// What the window showed when the close came.
struct AtClose {
  bool seen = false;
  std::string rows;
  int cursorRow = -1;
  int cursorColumn = -1;
  size_t records = 0;
};
AtClose atClose;
WNDPROC terminalProc = nullptr;

LRESULT CALLBACK watchClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE && !atClose.seen) {
    atClose.seen = true;
    for (int r = 0; r < 2; ++r) {
      std::string text = posix::testing::rowText(window, r, 80);
      atClose.rows += text.erase(text.find_last_not_of(' ') + 1) + "|\n";
    }
    if (const CommTcp* t = reinterpret_cast<const CommTcp*>(GetWindowLongPtrA(window, 0))) {
      atClose.cursorRow = t->cursorRow;
      atClose.cursorColumn = t->cursorColumn;
    }
    atClose.records = records().size();
  }
  return CallWindowProcA(terminalProc, window, message, wParam, lParam);
}

class BadInputCutSession : public BadInputSession, public ::testing::WithParamInterface<CutSession> {};

// The host ends the connection in the middle of a 3270 record or of a VT100
// control sequence: the window closes and the program ends quietly, as for any
// host close, and up to the close the screen, the cursor and the record
// handler show nothing of the unfinished part.
TEST_P(BadInputCutSession, ConnectionEndingInsideARecordAppliesNothingOfIt) {
  const CutSession& c = GetParam();
  if (c.mode3270) {
    connect3270();
  } else {
    connectVt100();
  }
  ASSERT_FALSE(HasFatalFailure());
  const Bytes complete = c.mode3270 ? kHello : text("abc");
  const Bytes partial = c.mode3270 ? kEraseWrite + sba(1) + ebcdic("WORLD") : text("\x1b[10;");
  const std::string shown = c.mode3270 ? " HELLO|\n|\n" : "abc|\n|\n";
  hostWrites(host, complete);
  ASSERT_EQ(screenRows(2), shown);
  const int row = terminal()->cursorRow;
  const int column = terminal()->cursorColumn;

  atClose = AtClose{};
  terminalProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchClose)));
  if (c.readFirst) {
    hostWrites(host, partial);
    EXPECT_EQ(screenRows(2), shown);
  } else {
    host.send(partial);
  }
  if (c.ending == Ending::kReset)
    host.resetConnection();
  else
    host.closeConnection();
  expectQuietEnd();
  ASSERT_TRUE(atClose.seen);
  EXPECT_EQ(atClose.rows, shown);
  EXPECT_EQ(atClose.cursorRow, row);
  EXPECT_EQ(atClose.cursorColumn, column);
  EXPECT_EQ(atClose.records, c.mode3270 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    BadInputHostEnds, BadInputCutSession,
    ::testing::Values(CutSession{"Record3270ReadThenReset", true, true, Ending::kReset},
                      CutSession{"Record3270ArrivingWithTheReset", true, false, Ending::kReset},
                      CutSession{"Record3270ReadThenClose", true, true, Ending::kClose},
                      CutSession{"Vt100SequenceReadThenReset", false, true, Ending::kReset},
                      CutSession{"Vt100SequenceArrivingWithTheReset", false, false, Ending::kReset}),
    [](const ::testing::TestParamInfo<CutSession>& info) { return std::string(info.param.name); });

}  // namespace
