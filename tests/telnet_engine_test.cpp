// The Telnet engine on a real connection: the opening negotiation, the answer
// to every option command, the terminal-type and window-size answers, the
// switch to 3270 processing, the re-requests in 3270 mode, data for the two
// emulations, commands and escape sequences cut by the end of a read, and the
// engine's trace lines. The test plays the host on the far end of the socket;
// the bytes on the wire are the assertion.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "loopback.h"
#include "net/socket_io.h"
#include "net/telnet.h"
#include "scripted_host.h"
#include "stream_bytes.h"
#include "vt100/nvt_screen.h"

namespace {

// Erases the screen, writes a protected "HELLO" at 1..5 and an input field from 7.
const Bytes kHelloRecord = bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6, 0x1D,
                                    0x40, 0xFF, 0xEF});

class TelnetEngineTest : public TerminalWindowTest {
 protected:
  static constexpr int kLive = 100;  // buffer row of screen row 0

  void SetUp() override {
    TerminalWindowTest::SetUp();
    createMainWindow();
    t = terminal();
    ASSERT_NE(t, nullptr);
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    loop = std::make_unique<Loopback>();
    t->socketHandle = static_cast<SOCKET>(loop->client);
    hzState = 0;
    // The VT100 layout the window's layout message sets up.
    t->nvtColumns = 81;
    t->nvtRows = 25;
    t->scrollRegion = RECT{0, 0, 80 * t->cellWidth, 24 * t->cellHeight};
    SetScrollRange(window_, SB_VERT, 0, kLive, FALSE);
    SetScrollPos(window_, SB_VERT, kLive, TRUE);
    t->nvtViewTop = kLive;
  }
  void TearDown() override {
    if (t) {
      if (t->traceFile) std::fclose(t->traceFile);
      t->traceFile = nullptr;
      t->socketHandle = INVALID_SOCKET;  // the loopback closes its own ends
    }
    loop.reset();
    WSACleanup();
    hzState = 0;
    TerminalWindowTest::TearDown();
  }

  // One read as RecvData leaves it: the bytes at the start of the receive
  // buffer. `beyond` fills the buffer after them, so that an engine reading
  // past the data would act on those bytes.
  void read(const Bytes& bytes, const Bytes& beyond = {}) {
    std::memset(t->receiveBuffer, 0, sizeof t->receiveBuffer);
    const Bytes all = bytes + beyond;
    std::memcpy(t->receiveBuffer, all.data(), all.size());
    ParseData(window_, t->socketHandle, t->traceFile, t->receiveBuffer, static_cast<int>(bytes.size()),
              &t->terminalMode);
  }
  // What the host has received: waits for `expected` bytes, then takes any more.
  std::string sent(size_t expected) { return hex(scripted::receive(loop->server, expected, 2000)); }
  std::string sentNow() { return hex(scripted::takeReady(loop->server)); }

  // Back to a fresh connection's state between cases.
  void resetState(int mode, int type) {
    scripted::takeReady(loop->server);
    t->terminalMode = mode;
    t->terminalType = type;
    t->dontRetryCount = t->wontRetryCount = 0;
    t->heldCommandLength = 0;
    std::memset(t->willRefusals, 0, sizeof t->willRefusals);
    t->pendingTailLength = 0;
    t->recordFill = 0;
    t->cursorColumn = t->cursorRow = 0;
    std::memset(t->nvtChars, ' ', kNvtBufferCells);
  }

  char cell(int row, int column) const { return t->nvtChars[t->NvtCellIndex(kLive + row, column)]; }
  std::string nvtRow(int row, int columns) const { return std::string(&t->nvtChars[t->NvtCellIndex(kLive + row, 0)], columns); }
  std::string gridRow(int row, int columns) const { return posix::testing::rowText(window_, row, columns); }

  void openTrace() { t->traceFile = std::fopen("telntlog.txt", "w"); }
  std::string closeTrace() {
    std::fclose(t->traceFile);
    t->traceFile = nullptr;
    return readFile("telntlog.txt");
  }

  CommTcp* t = nullptr;
  std::unique_ptr<Loopback> loop;
};

// ---- the opening negotiation -------------------------------------------------------------

// (That they go out as six separate sends shows in the trace log of a whole
// session, in the connection tests.)
TEST_F(TelnetEngineTest, OpeningSendsSixCommandsInOrder) {
  t->terminalMode = 8;  // the dialog's choice of IBM 3270 is cleared
  StartNegotiation(window_, &t->terminalMode, t->socketHandle, nullptr);
  EXPECT_EQ(sent(18), "FF FD 01 FF FC 01 FF FB 03 FF FD 03 FF FB 1F FF FD 1F");
  EXPECT_EQ(t->terminalMode, 0);
  EXPECT_TRUE(posix::testing::messageBoxes().empty());
}

// ---- the command table ----------------------------------------------------------------------

struct CommandCase {
  const char* name;
  Bytes received;
  int modeBefore;
  int terminalType;
  Bytes reply;
  int modeAfter;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

const Bytes kVt100Answer = bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("VT100") + bytesOf({0xFF, 0xF0});
const Bytes kIbmAnswer = bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("IBM-3278-2") + bytesOf({0xFF, 0xF0});
const Bytes kTerminalTypeSend = bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0});
const Bytes kNaws80x25 = bytesOf({0xFF, 0xFA, 0x1F, 0x00, 0x50, 0x00, 0x19, 0xFF, 0xF0});

const CommandCase kCommandCases[] = {
    {"DontEor", bytesOf({0xFF, 0xFE, 0x19}), 7, 2, bytesOf({0xFF, 0xFC, 0x19}), 3},
    {"WontEor", bytesOf({0xFF, 0xFC, 0x19}), 4, 2, bytesOf({0xFF, 0xFE, 0x19}), 0},
    {"WillEcho", bytesOf({0xFF, 0xFB, 0x01}), 0, 2, bytesOf({0xFF, 0xFD, 0x01}), 0},
    {"DoEchoIn3270Mode", bytesOf({0xFF, 0xFD, 0x01}), 15, 3, bytesOf({0xFF, 0xFB, 0x01}), 15},
    {"DoEcho", bytesOf({0xFF, 0xFD, 0x01}), 0, 2, bytesOf({0xFF, 0xFC, 0x01}), 0},
    {"DoEchoAlmost3270", bytesOf({0xFF, 0xFD, 0x01}), 14, 3, bytesOf({0xFF, 0xFC, 0x01}), 14},
    {"WontEcho", bytesOf({0xFF, 0xFC, 0x01}), 0, 2, bytesOf({0xFF, 0xFD, 0x01}), 0},
    {"DontEcho", bytesOf({0xFF, 0xFE, 0x01}), 0, 2, bytesOf({0xFF, 0xFC, 0x01}), 0},
    {"DontOther", bytesOf({0xFF, 0xFE, 0x05}), 0, 2, bytesOf({0xFF, 0xFC, 0x05}), 0},
    {"WontOther", bytesOf({0xFF, 0xFC, 0x05}), 0, 2, bytesOf({0xFF, 0xFE, 0x05}), 0},
    {"DontBinary", bytesOf({0xFF, 0xFE, 0x00}), 7, 2, bytesOf({0xFF, 0xFC, 0x00}), 6},
    {"WontBinary", bytesOf({0xFF, 0xFC, 0x00}), 7, 2, bytesOf({0xFF, 0xFE, 0x00}), 6},
    {"DoAuthentication", bytesOf({0xFF, 0xFD, 0x25}), 0, 2, bytesOf({0xFF, 0xFC, 0x25}), 0},
    {"DoTerminalType", bytesOf({0xFF, 0xFD, 0x18}), 0, 2, bytesOf({0xFF, 0xFB, 0x18}), 2},
    {"DoBinary", bytesOf({0xFF, 0xFD, 0x00}), 0, 2, bytesOf({0xFF, 0xFB, 0x00}), 1},
    {"DoEor", bytesOf({0xFF, 0xFD, 0x19}), 0, 2, bytesOf({0xFF, 0xFB, 0x19}), 4},
    // The host agrees to NAWS: it hears the live screen's 80 x 25 at once (24 rows in 3270 mode).
    {"DoNaws", bytesOf({0xFF, 0xFD, 0x1F}), 0, 2, bytesOf({0xFF, 0xFB, 0x1F}) + kNaws80x25, 0},
    {"DoNawsIn3270Mode", bytesOf({0xFF, 0xFD, 0x1F}), 15, 3,
     bytesOf({0xFF, 0xFB, 0x1F, 0xFF, 0xFA, 0x1F, 0x00, 0x50, 0x00, 0x18, 0xFF, 0xF0}), 15},
    {"DoSga", bytesOf({0xFF, 0xFD, 0x03}), 0, 2, bytesOf({0xFF, 0xFB, 0x03}), 0},
    {"WillTerminalType", bytesOf({0xFF, 0xFB, 0x18}), 0, 2, bytesOf({0xFF, 0xFD, 0x18}), 0},
    {"WillNaws", bytesOf({0xFF, 0xFB, 0x1F}), 0, 2, bytesOf({0xFF, 0xFD, 0x1F}), 0},
    {"WillSga", bytesOf({0xFF, 0xFB, 0x03}), 0, 2, bytesOf({0xFF, 0xFD, 0x03}), 0},
    {"WillBinary", bytesOf({0xFF, 0xFB, 0x00}), 0, 2, bytesOf({0xFF, 0xFD, 0x00}), 1},
    {"WillEor", bytesOf({0xFF, 0xFB, 0x19}), 0, 2, bytesOf({0xFF, 0xFD, 0x19}), 4},
    {"TerminalTypeAsVt100", kTerminalTypeSend, 8, 2, kVt100Answer, 2},
    {"TerminalTypeAsIbm3278", kTerminalTypeSend, 0, 3, kIbmAnswer, 10},
    {"TerminalTypeAsVt52", kTerminalTypeSend, 8, 1, Bytes{}, 10},
    {"WindowSizeRequest", bytesOf({0xFF, 0xFA, 0x1F, 0x01, 0xFF, 0xF0}), 0, 2, kNaws80x25, 0},
    {"DoOther", bytesOf({0xFF, 0xFD, 0x05}), 0, 2, bytesOf({0xFF, 0xFC, 0x05}), 0},
    {"EndOfRecord", bytesOf({0xFF, 0xEF}), 0, 2, Bytes{}, 0},
    {"EndOfRecordIn3270ModeWithNoRecordOpen", bytesOf({0xFF, 0xEF}), 15, 3, Bytes{}, 15},
    {"WillOther", bytesOf({0xFF, 0xFB, 0x05}), 0, 2, bytesOf({0xFF, 0xFE, 0x05}), 0},
    {"WillAuthentication", bytesOf({0xFF, 0xFB, 0x25}), 0, 2, bytesOf({0xFF, 0xFE, 0x25}), 0},
    {"WillEncryptIn3270Mode", bytesOf({0xFF, 0xFB, 0x26}), 15, 3, bytesOf({0xFF, 0xFE, 0x26}), 15},
    {"Nop", bytesOf({0xFF, 0xF1}), 0, 2, Bytes{}, 0},
    {"GoAhead", bytesOf({0xFF, 0xF9}), 0, 2, Bytes{}, 0},
    {"StraySubnegotiationEnd", bytesOf({0xFF, 0xF0}), 0, 2, Bytes{}, 0},
    {"NotACommand", bytesOf({0xFF, 0x41, 0x42}), 0, 2, Bytes{}, 0},
    {"TerminalTypeIs", bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("X") + bytesOf({0xFF, 0xF0}), 0, 3, Bytes{}, 0},
    {"OtherSubnegotiation", bytesOf({0xFF, 0xFA, 0x05, 0x01, 0x02, 0x41, 0xFF, 0xF0}), 0, 2, Bytes{}, 0},
    {"SubnegotiationWithDoubledIac", bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xFF, 0xFF, 0xF0}), 0, 3, Bytes{}, 0},
};

class CommandTable : public TelnetEngineTest, public ::testing::WithParamInterface<CommandCase> {
 protected:
  // What follows every command: one data byte, which must be neither eaten
  // nor shown twice.
  const Bytes kData = text("Z");

  void expectOutcome(const CommandCase& c) {
    EXPECT_EQ(sent(c.reply.size()), hex(c.reply));
    EXPECT_EQ(t->terminalMode, c.modeAfter);
    EXPECT_EQ(t->heldCommandLength, 0);
    EXPECT_EQ(t->pendingTailLength, 0);
    if (c.modeAfter == 15) {
      EXPECT_EQ(t->recordFill, 1);  // the data byte went to the 3270 records
      EXPECT_EQ(cell(0, 0), ' ');
    } else {
      EXPECT_EQ(nvtRow(0, 3), "Z  ");
      EXPECT_EQ(t->cursorColumn, 1);
      EXPECT_EQ(t->recordFill, 0);
    }
    EXPECT_TRUE(posix::testing::messageBoxes().empty());
  }
};

TEST_P(CommandTable, AnswersAndModeInOneRead) {
  const CommandCase& c = GetParam();
  resetState(c.modeBefore, c.terminalType);
  read(c.received + kData);
  expectOutcome(c);
}

// Wherever the read boundary falls, the outcome is that of the uncut command;
// the bytes of the next read already lie behind the first part in the buffer,
// so a read past the data would show.
TEST_P(CommandTable, EveryCutGivesTheSameOutcome) {
  const CommandCase& c = GetParam();
  const Bytes whole = c.received + kData;
  for (size_t cut = 1; cut < whole.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    resetState(c.modeBefore, c.terminalType);
    const Bytes first(whole.begin(), whole.begin() + static_cast<long>(cut));
    const Bytes second(whole.begin() + static_cast<long>(cut), whole.end());
    read(first, second);
    read(second);
    expectOutcome(c);
  }
}

TEST_P(CommandTable, CutIntoSingleBytes) {
  const CommandCase& c = GetParam();
  resetState(c.modeBefore, c.terminalType);
  for (uint8_t byte : c.received + kData) read(Bytes{byte});
  expectOutcome(c);
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandTable, ::testing::ValuesIn(kCommandCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

// ---- the window size (NAWS) ------------------------------------------------------------------

TEST_F(TelnetEngineTest, WindowSizeIsToldAgainWhenTheRowCountChangesAndOnlyThen) {
  resetState(0, 2);
  t->connected = 1;
  t->nvtRows = 24;  // before the window is laid out
  read(bytesOf({0xFF, 0xFD, 0x1F}));
  EXPECT_EQ(sent(12), "FF FB 1F FF FA 1F 00 50 00 18 FF F0");
  SendMessageA(window_, WM_LAYOUT, 0, 0);  // the layout sets up the 25 rows
  EXPECT_EQ(t->nvtRows, 25);
  EXPECT_EQ(sent(9), "FF FA 1F 00 50 00 19 FF F0");
  SendMessageA(window_, WM_LAYOUT, 0, 0);  // the same size again: nothing
  EXPECT_EQ(sentNow(), "");
  read(bytesOf({0xFF, 0xFE, 0x1F}));  // the host withdraws its agreement
  EXPECT_EQ(sent(3), "FF FC 1F");
  t->nvtRows = 24;
  SendMessageA(window_, WM_LAYOUT, 0, 0);
  EXPECT_EQ(sentNow(), "");
}

TEST_F(TelnetEngineTest, WindowSizeBytesOf255AreDoubled) {
  struct Case {
    int columns, rows;
    const char* bytes;
  };
  for (const Case& c : {Case{80, 25, "FF FA 1F 00 50 00 19 FF F0"}, Case{80, 255, "FF FA 1F 00 50 00 FF FF FF F0"},
                        Case{0xFFFF, 0x1FF, "FF FA 1F FF FF FF FF 01 FF FF FF F0"}}) {
    unsigned char out[16];
    const int n = WindowSizeCommand(c.columns, c.rows, out);
    EXPECT_EQ(hex(Bytes(out, out + n)), c.bytes);
  }
}

// ---- terminal type and the switch to 3270 processing ---------------------------------------

TEST_F(TelnetEngineTest, TerminalTypeQuestionAnsweredAsIbm3278) {
  resetState(0, 3);
  read(bytesOf({0xFF, 0xFD, 0x18}));
  read(kTerminalTypeSend);
  EXPECT_EQ(sent(19), "FF FB 18 FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0");
  EXPECT_EQ(t->terminalMode, 2 | 8);
}

TEST_F(TelnetEngineTest, SixCommandsInOneReadStart3270ProcessingForTheDataAfterThem) {
  resetState(0, 3);
  const Bytes negotiation = bytesOf({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF,
                                     0xFD, 0x18}) +
                            kTerminalTypeSend;
  read(negotiation + kHelloRecord);
  EXPECT_EQ(sent(31), "FF FB 00 FF FD 00 FF FB 19 FF FD 19 FF FB 18 " + hex(kIbmAnswer));
  EXPECT_EQ(t->terminalMode, 15);
  // The record after the commands was taken by the 3270 parser and shown.
  EXPECT_EQ(std::string(reinterpret_cast<char*>(t->screenChars) + 1, 5), "HELLO");
  EXPECT_EQ(gridRow(0, 8), " HELLO  ");
  EXPECT_EQ(t->recordFill, 0);
  EXPECT_EQ(nvtRow(0, 5), "     ");  // nothing reached the VT100 screen
}

TEST_F(TelnetEngineTest, WithoutTheIbmTypeDataStaysWithTheVt100Interpreter) {
  resetState(0, 2);
  read(bytesOf({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x18}) +
       kTerminalTypeSend + text("ok"));
  EXPECT_EQ(sent(26), "FF FB 00 FF FD 00 FF FB 19 FF FD 19 FF FB 18 " + hex(kVt100Answer));
  EXPECT_EQ(t->terminalMode, 7);
  EXPECT_EQ(nvtRow(0, 2), "ok");
  EXPECT_EQ(t->recordFill, 0);
}

// ---- re-requests in 3270 mode -----------------------------------------------------------------

struct RefusalCase {
  const char* name;
  uint8_t command;       // DONT or WONT
  uint8_t askAgain;      // the re-request: WILL or DO
  uint8_t finalAnswer;   // after the limit
  int32_t CommTcp::*counter;
};

TEST_F(TelnetEngineTest, RefusedBinaryIsAskedFor30TimesThenAccepted) {
  const RefusalCase cases[] = {
      {"DONT", 0xFE, 0xFB, 0xFC, &CommTcp::dontRetryCount},
      {"WONT", 0xFC, 0xFD, 0xFE, &CommTcp::wontRetryCount},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool oneRead : {true, false}) {
      SCOPED_TRACE(oneRead ? "one read" : "a read each");
      resetState(15, 3);
      Bytes all;
      for (int i = 0; i < 31; ++i) {
        const Bytes refusal = bytesOf({0xFF, c.command, 0x00});
        if (oneRead) {
          all = all + refusal;
        } else {
          read(refusal);
          if (i < 30) {
            EXPECT_EQ(t->*c.counter, i + 1);
          }
        }
      }
      if (oneRead) read(all);
      std::string expected;
      for (int i = 0; i < 30; ++i) expected += hex(bytesOf({0xFF, c.askAgain, 0x00})) + " ";
      expected += hex(bytesOf({0xFF, c.finalAnswer, 0x00}));
      EXPECT_EQ(sent(93), expected);
      EXPECT_EQ(t->terminalMode, 14);  // BINARY off: 3270 processing has ended
      EXPECT_EQ(t->*c.counter, 0);
    }
  }
}

TEST_F(TelnetEngineTest, RefusalsOfOtherOptionsAreAskedForAgainAndShareTheCounter) {
  resetState(15, 3);
  read(bytesOf({0xFF, 0xFE, 0x01, 0xFF, 0xFE, 0x19}));  // DONT ECHO, DONT EOR
  EXPECT_EQ(sent(6), "FF FB 01 FF FB 19");
  EXPECT_EQ(t->dontRetryCount, 2);
  EXPECT_EQ(t->terminalMode, 15);
  // At the limit the refusal goes to the table: DONT EOR is accepted and ends 3270 mode.
  t->dontRetryCount = 30;
  read(bytesOf({0xFF, 0xFE, 0x19}));
  EXPECT_EQ(sent(3), "FF FC 19");
  EXPECT_EQ(t->dontRetryCount, 0);
  EXPECT_EQ(t->terminalMode, 11);
  // WONT ECHO at the limit in 3270 mode is answered DONT ECHO.
  resetState(15, 3);
  t->wontRetryCount = 30;
  read(bytesOf({0xFF, 0xFC, 0x01}));
  EXPECT_EQ(sent(3), "FF FE 01");
  EXPECT_EQ(t->wontRetryCount, 0);
  EXPECT_EQ(t->terminalMode, 15);
}

// ---- data on the VT100 path -------------------------------------------------------------------

// A host that offers an option again after each refusal cannot keep the two
// ends talking: each option is refused a few times, then offers go unanswered.
TEST_F(TelnetEngineTest, RepeatedOffersOfAnUnusedOptionGetABoundedNumberOfRefusals) {
  resetState(0, 2);
  Bytes offers;
  for (int k = 0; k < 10; ++k) offers = offers + bytesOf({0xFF, 0xFB, 0x25});
  read(offers + bytesOf({0xFF, 0xFB, 0x26}));
  EXPECT_EQ(sent(12), "FF FE 25 FF FE 25 FF FE 25 FF FE 26");
  for (int k = 0; k < 5; ++k) read(bytesOf({0xFF, 0xFB, 0x25}));
  read(bytesOf({0xFF, 0xFB, 0x03}));  // a listed option is still answered
  EXPECT_EQ(sent(3), "FF FD 03");
}

TEST_F(TelnetEngineTest, DoubledIacIsOneCharacter255) {
  resetState(0, 2);
  read(bytesOf({0xFF, 0xFF}));
  EXPECT_EQ(static_cast<uint8_t>(cell(0, 0)), 0xFF);
  EXPECT_EQ(cell(0, 1), ' ');
  EXPECT_EQ(t->cursorColumn, 1);
  read(text("a") + bytesOf({0xFF, 0xFF}) + text("b"));
  EXPECT_EQ(nvtRow(0, 4), "\xFF" "a\xFF" "b");
  EXPECT_EQ(sentNow(), "");
}

TEST_F(TelnetEngineTest, OnlyBatchesOfMoreThanOneByteRepaintTheWholeScreen) {
  resetState(0, 2);
  read(text("ab"));  // a first repaint shows the empty rows
  // A row written behind the window's back shows only after a whole repaint.
  std::memcpy(&t->nvtChars[t->NvtCellIndex(kLive + 5, 0)], "HIDDEN", 6);
  read(text("c"));
  EXPECT_EQ(gridRow(0, 3), "abc");  // drawn directly
  EXPECT_EQ(gridRow(5, 6), "      ");
  EXPECT_EQ(t->repaintPending, 0);
  read(text("de"));
  EXPECT_EQ(gridRow(5, 6), "HIDDEN");
  EXPECT_EQ(gridRow(0, 5), "abcde");
  EXPECT_EQ(t->repaintPending, 0);
  // A character written over text, as an editor moves the cursor right, is
  // drawn alone: the text after it stays in view.
  read(text("\x1b[H"));
  read(text("a"));
  EXPECT_EQ(gridRow(0, 5), "abcde");
}

TEST_F(TelnetEngineTest, EmptyReadWritesOnlyTheEntryLine) {
  resetState(7, 2);
  t->cursorColumn = 4;
  openTrace();
  read(Bytes{}, text("ab"));
  EXPECT_EQ(closeTrace(), "\n\t\t\t Entering Parser ( ) \n");
  EXPECT_EQ(t->terminalMode, 7);
  EXPECT_EQ(t->cursorColumn, 4);
  EXPECT_EQ(nvtRow(0, 6), "      ");
  EXPECT_EQ(sentNow(), "");
}

// An escape sequence cut by the end of a read is completed by the next one,
// wherever the cut falls, with commands between the two parts answered.
TEST_F(TelnetEngineTest, EscapeSequenceCutAnywhereCompletesWithTheNextRead) {
  const Bytes stream = text("ab\x1b[5;10Hc\x1b[1;2Hd");
  resetState(0, 2);
  read(stream);
  const std::string row0 = nvtRow(0, 12);
  const std::string row4 = nvtRow(4, 12);
  ASSERT_EQ(row0, "ad          ");
  ASSERT_EQ(row4, "         c  ");
  for (size_t cut = 1; cut < stream.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    resetState(0, 2);
    const Bytes first(stream.begin(), stream.begin() + static_cast<long>(cut));
    const Bytes second(stream.begin() + static_cast<long>(cut), stream.end());
    read(first);
    read(bytesOf({0xFF, 0xFB, 0x03}) + second);  // WILL SGA at the start of the second read
    EXPECT_EQ(sent(3), "FF FD 03");
    EXPECT_EQ(nvtRow(0, 12), row0);
    EXPECT_EQ(nvtRow(4, 12), row4);
    EXPECT_EQ(t->cursorRow, 0);
    EXPECT_EQ(t->cursorColumn, 2);
    EXPECT_EQ(t->pendingTailLength, 0);
  }
}

TEST_F(TelnetEngineTest, CutSequenceIsKeptAndTraced) {
  resetState(0, 2);
  openTrace();
  read(text("0123456789AB\x1b[1;2"));
  EXPECT_EQ(t->pendingTailLength, 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(t->pendingTail), 5), "\x1b[1;2");
  const std::string trace = closeTrace();
  EXPECT_NE(trace.find("\n ****szErrorEscapeSequence\n  32 33 34 35 36 37 38 39 41 42\n1b 5b 31 3b 32 [12;17] \n "),
            std::string::npos)
      << trace;
  openTrace();
  read(text("H"));
  EXPECT_EQ(t->pendingTailLength, 0);
  EXPECT_EQ(t->cursorRow, 0);
  EXPECT_EQ(t->cursorColumn, 1);
  const std::string second = closeTrace();
  // The kept bytes go in front of the new ones.
  EXPECT_NE(second.find("\n\t\t\tEntering vt100Parser : i=0 szBufLen =6 \n"), std::string::npos) << second;
  EXPECT_EQ(second.find("szErrorEscapeSequence"), std::string::npos);
}

// A large block handed over in another buffer is taken in pieces that fit.
TEST_F(TelnetEngineTest, BlockLargerThanTheReceiveBufferIsHandledInPieces) {
  resetState(0, 2);
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "line " + std::to_string(i) + "\r\n";  // about 3,800 bytes
  // Twice: more than the buffer holds.
  Bytes block = text(lines) + text(lines) + bytesOf({0xFF, 0xFD, 0x18}) + text("end");
  ParseData(window_, t->socketHandle, nullptr, block.data(), static_cast<int>(block.size()), &t->terminalMode);
  EXPECT_EQ(sent(3), "FF FB 18");
  ASSERT_GT(t->cursorRow, 0);
  EXPECT_EQ(nvtRow(t->cursorRow, 4), "end ");
  EXPECT_EQ(nvtRow(t->cursorRow - 1, 9), "line 399 ");
}

// The reads that RecvData makes leave room for a kept sequence in front of
// the data; a block larger than that arrives over several reads, whole.
TEST_F(TelnetEngineTest, BoundedReadsBringALargeBlockWhole) {
  resetState(0, 2);
  read(text("\x1b[1;"));  // a sequence cut short: its bytes are kept
  ASSERT_EQ(t->pendingTailLength, 4);
  std::string block = "2H";
  for (int i = 0; i < 700; ++i) block += "row " + std::to_string(i) + "\r\n";  // about 6,700 bytes
  block += "last";
  loop->hostSends(block);
  ASSERT_TRUE(scripted::waitUnread(loop->client));
  int reads = 0;
  while (scripted::unreadBytes(loop->client) > 0 && reads < 10) {
    const int room = t->receiveRoom();
    int length = -1;
    ASSERT_EQ(RecvData(window_, t->socketHandle, nullptr, t->receiveBuffer, &length), 1);
    EXPECT_LE(length, room);
    EXPECT_LE(length + t->pendingTailLength + t->heldCommandLength, kReceiveBufferSize - 1);
    ParseData(window_, t->socketHandle, nullptr, t->receiveBuffer, length, &t->terminalMode);
    ++reads;
  }
  EXPECT_GE(reads, 2);
  EXPECT_EQ(nvtRow(t->cursorRow, 5), "last ");
  EXPECT_EQ(nvtRow(t->cursorRow - 1, 8), "row 699 ");
  EXPECT_EQ(t->pendingTailLength, 0);
}

// A subnegotiation is held over a read boundary while it may still end; one
// that has run past any sensible length without its end is dropped.
TEST_F(TelnetEngineTest, SubnegotiationWithoutAnEndIsHeldThenDropped) {
  resetState(0, 3);
  read(bytesOf({0xFF, 0xFA, 0x18, 0x01}));
  EXPECT_EQ(t->heldCommandLength, 4);
  EXPECT_EQ(t->receiveRoom(), kReceiveBufferSize - 1 - 4);
  read(bytesOf({0xFF, 0xF0}) + text("ok"));
  EXPECT_EQ(sent(16), hex(kIbmAnswer));
  EXPECT_EQ(nvtRow(0, 3), "ok ");

  resetState(0, 3);
  read(bytesOf({0xFF, 0xFA, 0x05}) + Bytes(600, 'x'));
  EXPECT_EQ(t->heldCommandLength, 0);
  EXPECT_EQ(nvtRow(0, 3), "   ");
  read(text("ok"));
  EXPECT_EQ(nvtRow(0, 3), "ok ");
  EXPECT_EQ(sentNow(), "");
}

// ---- 3270 records across reads ------------------------------------------------------------------

// A record whose data holds a doubled IAC, cut anywhere: the screen is the
// same as from the whole record and nothing is answered.
TEST_F(TelnetEngineTest, RecordCutAnywhereGivesTheSameScreen) {
  const Bytes record = bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC8, 0xC5, 0xFF, 0xFF, 0xD3, 0xD6, 0xC1,
                                0xFF, 0xEF});
  resetState(15, 3);
  read(record);
  const std::string whole(reinterpret_cast<char*>(t->screenChars), 8);
  ASSERT_EQ(whole.substr(1, 2), "HE");
  ASSERT_EQ(whole.substr(4, 3), "LOA");
  for (size_t cut = 1; cut < record.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    resetState(15, 3);
    std::memset(t->screenChars, 0, 8);
    const Bytes first(record.begin(), record.begin() + static_cast<long>(cut));
    const Bytes second(record.begin() + static_cast<long>(cut), record.end());
    read(first, second);
    read(second);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(t->screenChars), 8), whole);
    EXPECT_EQ(t->recordFill, 0);
    EXPECT_EQ(t->heldCommandLength, 0);
    EXPECT_EQ(sentNow(), "");
  }
}

// A Telnet command after a record's IAC EOR in the same read is a command,
// and the record after it is read as one.
TEST_F(TelnetEngineTest, CommandAfterARecordInTheSameReadIsAnswered) {
  resetState(15, 3);
  read(kHelloRecord + bytesOf({0xFF, 0xFD, 0x06}) + kHelloRecord);
  EXPECT_EQ(sent(3), "FF FC 06");
  EXPECT_EQ(t->recordFill, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(t->screenChars) + 1, 5), "HELLO");
}

// In 3270 mode a doubled IAC at the start of a read is record data, not a
// character for the VT100 screen.
TEST_F(TelnetEngineTest, DoubledIacIn3270ModeBelongsToTheRecord) {
  resetState(15, 3);
  read(bytesOf({0xFF, 0xFF}));
  EXPECT_EQ(t->recordFill, 2);
  EXPECT_EQ(cell(0, 0), ' ');
  EXPECT_EQ(t->cursorColumn, 0);
  read(bytesOf({0xFF}));  // a lone IAC inside the open record goes to it as well
  EXPECT_EQ(t->recordFill, 3);
  EXPECT_EQ(t->heldCommandLength, 0);
  EXPECT_EQ(sentNow(), "");
}

// ---- the trace of a batch ---------------------------------------------------------------------

TEST_F(TelnetEngineTest, TraceOfABatchByteForByte) {
  resetState(0, 2);
  openTrace();
  read(bytesOf({0xFF, 0xFD, 0x18, 0x41}));
  EXPECT_EQ(sent(3), "FF FB 18");
  EXPECT_EQ(closeTrace(),
            "\n\t\t\t Entering Parser ( ) \n"
            "\n"
            "send: [255 ff \xFF] [ ] \n"
            "send: [251 fb \xFB] [ ] \n"
            "send: [24 18 \x18] [ ] \n"
            "\t\t\tSending: 3 Number Of Bytes \n"
            "\n\t\t\tEntering vt100Parser : i=3 szBufLen =4 \n"
            "\n\t\t\tExiting vt100Parser : i=4 szBufLen =4 \n"
            "\n\t\t\tExiting Parser ( ) \n ");
}

}  // namespace
