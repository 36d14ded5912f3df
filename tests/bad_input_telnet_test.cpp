// Bad input for the Telnet engine, on a real connection to a host played by
// the test: commands and records cut at every byte, floods of NULs and IACs,
// subnegotiations that never end, and control sequences whose parameters never
// end. What must hold is named in each case: the answers on the wire, the
// screen, and that what comes afterwards is still understood.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bad_input_wire.h"
#include "connected_fixture.h"
#include "net/socket_io.h"
#include "net/telnet.h"
#include "scripted_host.h"
#include "stream_bytes.h"
#include "vt100/nvt_screen.h"

namespace {

const Bytes kIbmAnswer = bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("IBM-3278-2") + bytesOf({0xFF, 0xF0});
// Erases the screen, writes a protected "HELLO" at 1..5 and an input field from 7.
const Bytes kHello = bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6, 0x1D, 0x40,
                              0xFF, 0xEF});

int recordsSeen = 0;
void countRecord() { ++recordsSeen; }

class BadInputTelnet : public OnLoopback<NvtLayoutTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    hzState = 0;
    t->connected = 1;
    t->recordHandler = &countRecord;
  }
  void TearDown() override {
    hzState = 0;
    OnLoopback::TearDown();
  }

  // The state of a fresh connection in the given mode, with the given terminal type.
  void fresh(int mode, int type) {
    scripted::takeReady(loop.server);
    t->terminalMode = mode;
    t->terminalType = type;
    t->dontRetryCount = t->wontRetryCount = 0;
    t->heldCommandLength = 0;
    t->pendingTailLength = 0;
    t->recordFill = 0;
    t->cursorColumn = t->cursorRow = 0;
    t->nvtCurrentAttribute = 0;
    std::memset(t->nvtChars, ' ', kNvtBufferCells);
    std::memset(t->screenChars, 0, sizeof t->screenChars);
    recordsSeen = 0;
    hzState = 0;
  }
  // One read as RecvData leaves it: the bytes at the start of the receive buffer.
  void read(const Bytes& bytes) {
    ASSERT_LE(static_cast<int>(bytes.size()), t->receiveRoom());
    std::memcpy(t->receiveBuffer, bytes.data(), bytes.size());
    ParseData(window_, t->socketHandle, nullptr, t->receiveBuffer, static_cast<int>(bytes.size()), &t->terminalMode);
  }
  // Reads of `piece` bytes each.
  void readInPieces(const Bytes& bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece)
      read(Bytes(bytes.begin() + static_cast<long>(at),
                 bytes.begin() + static_cast<long>(std::min(at + piece, bytes.size()))));
  }
  // More than one read holds, handed over whole: the engine takes it in pieces.
  void block(Bytes bytes) {
    ParseData(window_, t->socketHandle, nullptr, bytes.data(), static_cast<int>(bytes.size()), &t->terminalMode);
  }
  // The host writes the bytes and the terminal reads them as its read events
  // would, each read bounded by the room the receive buffer keeps; `check`
  // runs after every read.
  void hostWritesAndTerminalReads(const Bytes& bytes, const std::function<void()>& check = nullptr) {
    badwire::Writer writer(loop.server, bytes);
    size_t got = 0;
    int idle = 0;
    while (got < bytes.size() && idle < 200) {
      if (!scripted::waitUnread(loop.client, 10)) {
        ++idle;
        continue;
      }
      int length = 0;
      ASSERT_EQ(RecvData(window_, t->socketHandle, nullptr, t->receiveBuffer, &length), 1);
      got += static_cast<size_t>(length);
      ParseData(window_, t->socketHandle, nullptr, t->receiveBuffer, length, &t->terminalMode);
      if (check) check();
    }
    writer.finish();
    ASSERT_EQ(got, bytes.size());
  }
  // What the host has received so far (replies are sent before ParseData returns).
  std::string wire() { return hex(scripted::takeReady(loop.server)); }
  std::string nvtRow(int row, int columns) const { return std::string(&t->nvtChars[t->NvtCellIndex(kLive + row, 0)], columns); }
  std::string screen3270(uint32_t from, uint32_t count) const {
    return std::string(reinterpret_cast<const char*>(t->screenChars) + from, count);
  }
  // Everything a batch can change that a host or the user could see.
  std::string outcome() {
    std::string s = "wire [" + wire() + "] mode " + std::to_string(t->terminalMode) + " cursor " +
                    std::to_string(t->cursorRow) + "," + std::to_string(t->cursorColumn) + " records " +
                    std::to_string(recordsSeen) + " held " + std::to_string(t->heldCommandLength) + " tail " +
                    std::to_string(t->pendingTailLength) + " fill " + std::to_string(t->recordFill) + "\nnvt [";
    for (int r = 0; r < 3; ++r) s += nvtRow(r, 81) + "|";
    return s + "]\n3270 [" + screen3270(0, 100) + "]";
  }
};

// ---- cut at every byte ------------------------------------------------------------------------

// Whatever the read boundaries, the host gets the same answers, the mode ends
// the same and the screen is the same as when the bytes come in one read:
// nothing is lost, doubled or answered twice at a cut.
TEST_F(BadInputTelnet, CommandsAndRecordsCutAtEveryByteGiveTheSameOutcome) {
  struct Case {
    const char* what;
    int mode;
    int type;
    Bytes bytes;
  };
  const Case cases[] = {
      {"IAC DO TERMINAL-TYPE", 0, 3, bytesOf({0xFF, 0xFD, 0x18})},
      {"IAC WILL and WONT", 0, 2, bytesOf({0xFF, 0xFB, 0x01, 0xFF, 0xFC, 0x03, 0xFF, 0xFB, 0x00})},
      {"terminal-type question, IBM type", 0, 3, bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0})},
      {"terminal-type question, VT100 type", 0, 2, bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}) + text("ok")},
      {"window-size question", 0, 2, bytesOf({0xFF, 0xFA, 0x1F, 0x01, 0xFF, 0xF0})},
      {"the whole 3270 negotiation and a record", 0, 3,
       bytesOf({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x18, 0xFF, 0xFA,
                0x18, 0x01, 0xFF, 0xF0}) +
           kHello},
      {"refusals asked for again in 3270 mode", 15, 3, bytesOf({0xFF, 0xFE, 0x00, 0xFF, 0xFC, 0x19})},
      {"a record with a doubled IAC", 15, 3,
       bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC8, 0xFF, 0xFF, 0xC5, 0xFF, 0xEF})},
      {"two records, the second with doubled IACs", 15, 3,
       kHello + bytesOf({0xF1, 0xC3, 0x11, 0x40, 0x48, 0xFF, 0xFF, 0xFF, 0xFF, 0xC1, 0x13, 0xFF, 0xEF})},
      {"text, a doubled IAC and a control sequence", 0, 2, text("ab") + bytesOf({0xFF, 0xFF}) + text("c\x1b[2;5Hd")},
      {"two-byte commands between characters", 0, 2, text("a") + bytesOf({0xFF, 0xF1}) + text("b") +
                                                           bytesOf({0xFF, 0xF9}) + text("c")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fresh(c.mode, c.type);
    read(c.bytes);
    const std::string whole = outcome();
    ASSERT_NE(whole.find("held 0 tail 0 fill 0"), std::string::npos) << whole;  // nothing left over
    for (size_t cut = 1; cut < c.bytes.size(); ++cut) {
      SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
      fresh(c.mode, c.type);
      read(Bytes(c.bytes.begin(), c.bytes.begin() + static_cast<long>(cut)));
      read(Bytes(c.bytes.begin() + static_cast<long>(cut), c.bytes.end()));
      EXPECT_EQ(outcome(), whole);
    }
    SCOPED_TRACE("one byte per read");
    fresh(c.mode, c.type);
    readInPieces(c.bytes, 1);
    EXPECT_EQ(outcome(), whole);
  }
  EXPECT_TRUE(posix::testing::messageBoxes().empty());
}

// ---- floods -----------------------------------------------------------------------------------

// NULs are skipped in VT100 text, also inside a control sequence: the text and
// the sequence around a flood come out as without it, and nothing is sent.
TEST_F(BadInputTelnet, NulFloodsLeaveTheTextAroundThemIntact) {
  const Bytes nuls(200000, 0x00);
  fresh(0, 2);
  block(text("ab") + nuls + text("cd"));
  EXPECT_EQ(nvtRow(0, 5), "abcd ");
  EXPECT_EQ(t->cursorColumn, 4);

  fresh(0, 2);
  block(text("\x1b[2;") + nuls + text("5Hx"));
  EXPECT_EQ(nvtRow(1, 6), "    x ");
  EXPECT_EQ(t->pendingTailLength, 0);
  EXPECT_EQ(wire(), "");

  // In a 3270 record an EBCDIC null is a blank; a record of nulls too long to
  // hold is dropped and the next record is understood.
  fresh(15, 3);
  block(bytesOf({0xF5, 0xC3}) + Bytes(1900, 0x00) + bytesOf({0xC1, 0xFF, 0xEF}));
  EXPECT_EQ(screen3270(0, 1900), std::string(1900, ' '));
  EXPECT_EQ(screen3270(1900, 2), std::string("A\0", 2));
  EXPECT_EQ(recordsSeen, 1);
  block(bytesOf({0xF5, 0xC3}) + nuls + bytesOf({0xFF, 0xEF}) + kHello);
  EXPECT_EQ(screen3270(0, 8), std::string(" HELLO ") + '\0');
  EXPECT_EQ(recordsSeen, 2);
  EXPECT_EQ(t->recordFill, 0);
  EXPECT_EQ(wire(), "");
}

// Doubled IACs are characters 255 in VT100 mode however the reads cut them;
// a lone IAC at the end of a read waits for its partner. Nothing is answered.
TEST_F(BadInputTelnet, IacFloodsInVt100ModeAreCharactersAndTheTextAfterLands) {
  const Bytes doubled = repeat(bytesOf({0xFF, 0xFF}), 2000);
  fresh(0, 2);
  readInPieces(doubled + text("X"), 7);  // pieces of odd length split pairs apart
  EXPECT_EQ(t->cursorColumn, 2001) << "one column per doubled IAC and one for X";
  EXPECT_EQ(nvtRow(0, 81), std::string(81, '\xFF'));
  read(text("\r\nok"));
  EXPECT_EQ(nvtRow(1, 3), "ok ");

  fresh(0, 2);
  block(repeat(bytesOf({0xFF, 0xFF}), 100000) + text("\r\nok"));
  EXPECT_EQ(nvtRow(0, 81), std::string(81, '\xFF'));
  EXPECT_EQ(nvtRow(1, 3), "ok ");
  EXPECT_EQ(t->heldCommandLength, 0);

  fresh(0, 2);
  read(text("ab") + bytesOf({0xFF}));
  EXPECT_EQ(t->heldCommandLength, 1);
  read(bytesOf({0xFF}) + text("cd"));
  EXPECT_EQ(nvtRow(0, 6), "ab\xFF" "cd ");

  fresh(0, 2);
  read(text("ab") + bytesOf({0xFF, 0xFF, 0xFF}));  // one character and a lone IAC
  read(bytesOf({0xEF}) + text("cd"));              // IAC EOR: no character
  EXPECT_EQ(nvtRow(0, 6), "ab\xFF" "cd ");
  EXPECT_EQ(wire(), "");
}

// In 3270 mode a doubled IAC is one data byte of the record (shown as a
// blank); a flood too long for the record buffer is dropped whole, the screen
// keeps what it showed, and the next record is understood.
TEST_F(BadInputTelnet, IacFloodsIn3270ModeAreRecordDataOrDroppedWhole) {
  fresh(15, 3);
  block(bytesOf({0xF5, 0xC3, 0xC1}) + repeat(bytesOf({0xFF, 0xFF}), 1000) + bytesOf({0xC2, 0xFF, 0xEF}));
  EXPECT_EQ(screen3270(0, 1), "A");
  EXPECT_EQ(screen3270(1, 1000), std::string(1000, ' '));
  EXPECT_EQ(screen3270(1001, 2), std::string("B\0", 2));
  EXPECT_EQ(recordsSeen, 1);

  read(kHello);
  const std::string hello = screen3270(0, 1920);
  block(bytesOf({0xF5, 0xC3}) + repeat(bytesOf({0xFF, 0xFF}), 6000) + bytesOf({0xFF, 0xEF}));
  EXPECT_EQ(screen3270(0, 1920), hello) << "nothing of the dropped record is shown";
  EXPECT_EQ(recordsSeen, 2);

  // A lone IAC at the end of a read inside a record: the next read's EOR ends it.
  read(bytesOf({0xF5, 0xC3, 0xC3, 0xFF}));
  EXPECT_EQ(recordsSeen, 2);
  read(bytesOf({0xEF}));
  EXPECT_EQ(recordsSeen, 3);
  EXPECT_EQ(screen3270(0, 2), std::string("C\0", 2));
  read(kHello);
  EXPECT_EQ(screen3270(0, 1920), hello);
  EXPECT_EQ(t->recordFill, 0);
  EXPECT_EQ(wire(), "");
}

// ---- subnegotiations without their end ---------------------------------------------------------

// A subnegotiation whose IAC SE never comes ends at the next Telnet command:
// that command is answered and the data after it is shown, whether they come
// in the same read or later. A long one with no command after it is dropped.
TEST_F(BadInputTelnet, SubnegotiationWithoutItsEndDoesNotSwallowLaterCommandsOrData) {
  struct Case {
    const char* what;
    int mode;
    std::vector<Bytes> reads;
    std::string answer;
    std::string row0;
  };
  const Bytes sbTerminalType = bytesOf({0xFF, 0xFA, 0x18, 0x01});
  const Bytes doNaws = bytesOf({0xFF, 0xFD, 0x1F});
  const Bytes payload(600, 'x');
  // DO NAWS is answered with WILL NAWS and the window size.
  const std::string nawsAnswer = "FF FB 1F FF FA 1F 00 50 00 19 FF F0";
  const Case cases[] = {
      {"command in the same read", 0, {sbTerminalType + doNaws + text("hello")}, nawsAnswer, "hello "},
      {"command in the next read", 0, {sbTerminalType, doNaws + text("hello")}, nawsAnswer, "hello "},
      {"long payload, then a command", 0, {bytesOf({0xFF, 0xFA, 0x05}) + payload, doNaws + text("hello")},
       nawsAnswer, "hello "},
      {"doubled IAC inside, then a command", 0,
       {bytesOf({0xFF, 0xFA, 0x05, 0x01, 0xFF, 0xFF, 0x02}) + bytesOf({0xFF, 0xFB, 0x01}) + text("hi")}, "FF FD 01",
       "hi "},
      {"long payload, nothing after it", 0, {bytesOf({0xFF, 0xFA, 0x05}) + payload, text("hello")}, "", "hello "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fresh(c.mode, 2);
    for (const Bytes& r : c.reads) read(r);
    EXPECT_EQ(wire(), c.answer);
    EXPECT_EQ(nvtRow(0, static_cast<int>(c.row0.size())), c.row0);
    EXPECT_EQ(t->heldCommandLength, 0);
  }

  // In 3270 mode: the command after it is answered and the record after that understood.
  fresh(15, 3);
  read(bytesOf({0xFF, 0xFA, 0x05, 0x01, 0x02}) + doNaws + kHello);
  EXPECT_EQ(wire(), "FF FB 1F FF FA 1F 00 50 00 18 FF F0");  // the 3270 screen's 24 rows
  EXPECT_EQ(screen3270(0, 7), " HELLO ");
  EXPECT_EQ(recordsSeen, 1);
}

// ---- control sequences whose parameters never end ------------------------------------------------

// ESC [ followed by 100 KB of digits and semicolons: the kept tail never grows
// past its bound, the overlong sequence has no effect, and the text after it
// lands at the cursor the host had set (or at the place a following sequence
// sets), whether the engine gets the bytes in one block or the terminal reads
// them from the socket.
TEST_F(BadInputTelnet, EndlessControlSequenceParametersThenTextLandsWhereItShould) {
  const Bytes parameters = repeat(text("1234567;89;"), 100 * 1024 / 11);
  struct Case {
    const char* what;
    Bytes flood;
    Bytes after;
    int row;
    int column;
  };
  const Case cases[] = {
      {"ended by a final byte", text("\x1b[") + parameters, text("Hok"), 4, 9},
      {"abandoned by another sequence", text("\x1b[") + parameters, text("\x1b[7;3Hok"), 6, 2},
      {"8-bit introducer", bytesOf({0x9B}) + parameters, text("Hok"), 4, 9},
      {"digits only", text("\x1b[") + Bytes(100 * 1024, '7'), text("999999999999Hok"), 4, 9},
  };
  for (const bool fromSocket : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (fromSocket ? ", read from the socket" : ", one block"));
      fresh(0, 2);
      read(text("\x1b[5;10H"));
      ASSERT_EQ(t->cursorRow, 4);
      if (fromSocket) {
        int most = 0;
        hostWritesAndTerminalReads(c.flood + c.after, [&] { most = std::max(most, t->pendingTailLength); });
        EXPECT_LE(most, kMaxPendingTail);
      } else {
        block(c.flood + c.after);
      }
      EXPECT_EQ(nvtRow(c.row, c.column + 3), std::string(static_cast<size_t>(c.column), ' ') + "ok ");
      EXPECT_EQ(t->cursorRow, c.row);
      EXPECT_EQ(t->cursorColumn, c.column + 2);
      EXPECT_EQ(t->pendingTailLength, 0);
      EXPECT_EQ(nvtRow(0, 81), std::string(81, ' ')) << "nothing of the parameters is shown";
      EXPECT_EQ(wire(), "");
    }
  }
}

}  // namespace
