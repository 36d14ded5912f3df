// TN3270E on a real connection: the test plays the host on the far end of
// the terminal's socket and asserts the bytes on the wire: the negotiation
// with and without CONNECT, each REJECT, the functions, the fall back to
// TN3270, headers and doubled IACs cut at every byte, responses with their
// sequence numbers, SSCP-LU and NVT text, BIND and UNBIND, SYSREQ and ATTN.
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "loopback.h"
#include "net/telnet.h"
#include "net/tn3270e.h"
#include "portable.h"
#include "scripted_host.h"
#include "stream_bytes.h"
#include "tn3270/code_page.h"
#include "tn3270/model_engine.h"
#include "ui/resource.h"

namespace {

constexpr uint8_t IAC = 0xFF, SB = 0xFA, SE = 0xF0, WILL = 0xFB, WONT = 0xFC, DO = 0xFD, DONT = 0xFE, EOR = 0xEF;
constexpr uint8_t E = 40;  // the option

Bytes sub(const Bytes& body) { return Bytes{IAC, SB, E} + body + Bytes{IAC, SE}; }
const Bytes kSendDeviceType = sub({8, 2});
Bytes deviceTypeIs(const std::string& type, const std::string& lu) { return sub(Bytes{2, 4} + text(type) + Bytes{1} + text(lu)); }
Bytes functions(uint8_t verb, const Bytes& list) { return sub(Bytes{3, verb} + list); }
// A record as the host sends it: header, body, 0xFF doubled, IAC EOR.
Bytes record(uint8_t type, uint8_t responseFlag, uint16_t sequence, const Bytes& body) {
  const Bytes plain = Bytes{type, 0, responseFlag, static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence)} + body;
  Bytes out;
  for (uint8_t b : plain) {
    out.push_back(b);
    if (b == IAC) out.push_back(IAC);
  }
  return out + Bytes{IAC, EOR};
}
// A BIND whose presentation space names 24 x 80 and the alternate size.
Bytes bindImage(uint8_t rows, uint8_t columns) {
  Bytes b(28, 0);
  b[0] = 0x31;
  b[20] = 24, b[21] = 80, b[22] = rows, b[23] = columns, b[24] = 0x7F;
  return record(3, 0, 0, b);
}
const Bytes kAllFunctions{0, 2, 4};

class Tn3270eSessionTest : public TerminalWindowTest {
 protected:
  void SetUp() override {
    TerminalWindowTest::SetUp();
    createMainWindow();
    t = terminal();
    ASSERT_NE(t, nullptr);
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    loop = std::make_unique<Loopback>();
    t->socketHandle = static_cast<SOCKET>(loop->client);
    connect("3279-2-E", "");
  }
  void TearDown() override {
    if (t) t->socketHandle = INVALID_SOCKET;  // the loopback closes its own ends
    loop.reset();
    WSACleanup();
    TerminalWindowTest::TearDown();
  }

  // A new connection of a 3270 terminal of `model`, asking for `lu`.
  void connect(const std::string& model, const std::string& lu) {
    scripted::takeReady(loop->server);
    TerminalModel m;
    ASSERT_TRUE(ParseTerminalModel(model.c_str(), &m));
    model3270::ResetScreen(t->modelScreen, m);
    t->terminalType = kTypeIbm3270;
    t->terminalMode = 0;
    t->recordFill = t->heldCommandLength = 0;
    t->modelLocked = 0;
    std::snprintf(t->luName, sizeof t->luName, "%s", lu.c_str());
    tn3270e::Reset(*t);
    portable::clearMessageBoxes();
  }
  void read(const Bytes& bytes) {
    std::memcpy(t->receiveBuffer, bytes.data(), bytes.size());
    ParseData(window_, t->socketHandle, nullptr, t->receiveBuffer, static_cast<int>(bytes.size()), &t->terminalMode);
  }
  // What the host received, in lower-case hex.
  static std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::string sent(size_t expected) { return lower(hex(scripted::receive(loop->server, expected, 2000))); }
  std::string sentNow() { return lower(hex(scripted::takeReady(loop->server))); }

  // The host's side of an agreed negotiation, the terminal's answers taken.
  void agree(const Bytes& functionList = kAllFunctions) {
    read(Bytes{IAC, DO, E});
    read(kSendDeviceType);
    read(deviceTypeIs("IBM-3278-2-E", "LU0001"));
    read(functions(4, functionList));
    sentNow();
    ASSERT_TRUE(tn3270e::Active(*t));
  }
  // Screen row r of the model screen as text, nulls as blanks.
  std::string row(int r) const {
    const ModelScreen& s = t->modelScreen;
    std::string out;
    for (int c = 0; c < s.columns; ++c) {
      const uint8_t ch = s.cells[r * s.columns + c].ch;
      out += ch ? static_cast<char>(kEbcdicToLatin1[ch]) : ' ';
    }
    return out.substr(0, out.find_last_not_of(' ') + 1);
  }
  void type(const std::string& s) {
    for (char c : s) model3270::TypeChar(*t, kLatin1ToEbcdic[static_cast<uint8_t>(c)]);
  }

  CommTcp* t = nullptr;
  std::unique_ptr<Loopback> loop;
};

// ---- negotiation ----------------------------------------------------------------------------

TEST_F(Tn3270eSessionTest, DeviceTypeRequestNamesThe3278OfTheModelAndConnectsTheLu) {
  const struct {
    const char* model;
    const char* lu;
    const char* request;  // after IAC SB 28 02 07
  } cases[] = {
      {"3279-2-E", "", "49 42 4d 2d 33 32 37 38 2d 32 2d 45"},                            // IBM-3278-2-E
      {"3279-4-E", "LU1", "49 42 4d 2d 33 32 37 38 2d 34 2d 45 01 4c 55 31"},             // ... CONNECT LU1
      {"3278-5-E", "TCP00042", "49 42 4d 2d 33 32 37 38 2d 35 2d 45 01 54 43 50 30 30 30 34 32"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    connect(c.model, c.lu);
    read(Bytes{IAC, DO, E});
    EXPECT_EQ(sent(3), "ff fb 28");
    read(kSendDeviceType);
    const std::string request = std::string("ff fa 28 02 07 ") + c.request + " ff f0";
    EXPECT_EQ(sent((request.size() + 1) / 3), request);
    read(deviceTypeIs("IBM-3278-2-E", "LU0001"));
    EXPECT_EQ(sent(9), "ff fa 28 03 07 00 02 04 ff f0");
    EXPECT_STREQ(t->tn3270e.assignedLu, "LU0001");
    char caption[256] = {};
    GetWindowTextA(window_, caption, sizeof caption);
    EXPECT_NE(std::string(caption).find("  LU LU0001"), std::string::npos) << caption;
  }
}

TEST_F(Tn3270eSessionTest, DefaultModelRefusesUnlessTheSettingAsks) {
  connect("3278-2", "");
  read(Bytes{IAC, DO, E});
  EXPECT_EQ(sent(3), "ff fc 28");
  writeFile("quillon.ini", "[3270]\nTN3270E=1\n");
  connect("3278-2", "");
  read(Bytes{IAC, DO, E} + kSendDeviceType);
  EXPECT_EQ(sent(19), "ff fb 28 ff fa 28 02 07 49 42 4d 2d 33 32 37 38 2d 32 ff f0");  // IBM-3278-2
  read(deviceTypeIs("IBM-3278-2", "L2") + functions(4, {2}));
  EXPECT_TRUE(tn3270e::Active(*t));
  EXPECT_TRUE(t->modelEngine());  // the model screen runs the session
}

TEST_F(Tn3270eSessionTest, FunctionsAgreedAsTheHostProposesWhenTheyAreASubset) {
  const struct {
    const char* name;
    std::vector<Bytes> host;  // the host's FUNCTIONS messages, one after the other
    std::string answers;      // the terminal's answers to them
    bool active;
    uint8_t functions;        // bits in force
  } cases[] = {
      {"IS as asked", {functions(4, {0, 2, 4})}, "", true, 0x15},
      {"IS of fewer", {functions(4, {2})}, "", true, 0x04},
      {"REQUEST of a subset", {functions(7, {4, 2})}, "ff fa 28 03 04 04 02 ff f0", true, 0x14},
      {"REQUEST of more, then IS", {functions(7, {2, 1}), functions(4, {2})}, "ff fa 28 03 07 02 ff f0", true, 0x04},
      {"IS of one not asked for", {functions(4, {2, 3})}, "ff fc 28", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    connect("3279-2-E", "");
    read(Bytes{IAC, DO, E} + kSendDeviceType + deviceTypeIs("IBM-3278-2-E", "LU0001"));
    sentNow();
    for (const Bytes& m : c.host) read(m);
    EXPECT_EQ(sent(c.answers.empty() ? 0 : (c.answers.size() + 1) / 3), c.answers);
    EXPECT_EQ(tn3270e::Active(*t), c.active);
    EXPECT_EQ(t->tn3270e.functions, c.functions);
    EXPECT_EQ(t->terminalMode, c.active ? kMode3270 : 0);
  }
}

TEST_F(Tn3270eSessionTest, RejectIsToldInWordsAndTheSessionFallsBackToTn3270) {
  const struct {
    uint8_t reason;
    const char* words;
  } cases[] = {
      {0, "partner"}, {1, "the LU is in use"}, {2, "associate"}, {3, "no such LU"},
      {4, "device type is not supported"}, {5, "not of the device type"}, {6, "error"},
      {7, "unsupported request"}, {200, "unknown reason"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    connect("3279-2-E", "LU9");
    read(Bytes{IAC, DO, E} + kSendDeviceType);
    sentNow();
    read(sub({2, 6, 5, c.reason}));
    EXPECT_EQ(sent(3), "ff fc 28");
    ASSERT_EQ(portable::messageBoxes().size(), 1u);
    const std::string& text = portable::messageBoxes()[0].text;
    EXPECT_NE(text.find("LU9"), std::string::npos) << text;
    EXPECT_NE(text.find(c.words), std::string::npos) << text;
    // The window stays and TN3270 goes on as without TN3270E.
    EXPECT_TRUE(IsWindow(window_));
    read(Bytes{IAC, DO, E});
    EXPECT_EQ(sent(3), "ff fc 28");
    read(Bytes{IAC, DO, 24} + Bytes{IAC, SB, 24, 1, IAC, SE});
    EXPECT_EQ(sent(22), "ff fb 18 ff fa 18 00 49 42 4d 2d 33 32 37 39 2d 32 2d 45 40 4c 55 39 ff f0");
  }
}

TEST_F(Tn3270eSessionTest, HostRefusingTn3270eGetsPlainTn3270) {
  for (const uint8_t refusal : {WONT, DONT}) {
    SCOPED_TRACE(refusal);
    connect("3279-2-E", "");
    agree();
    read(Bytes{IAC, refusal, E});
    EXPECT_EQ(sent(3), refusal == DONT ? "ff fc 28" : "ff fe 28");  // only the answer: not asked again
    EXPECT_FALSE(tn3270e::Active(*t));
    EXPECT_EQ(t->terminalMode, 0);
    EXPECT_EQ(t->tn3270e.assignedLu[0], '\0');
    char caption[256] = {};
    GetWindowTextA(window_, caption, sizeof caption);
    EXPECT_EQ(std::string(caption).find("  LU "), std::string::npos) << caption;
    // Plain TN3270 records after the usual negotiation have no header.
    read(Bytes{IAC, DO, 24, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 25, IAC, WILL, 25, IAC, SB, 24, 1, IAC, SE});
    sentNow();
    ASSERT_EQ(t->terminalMode, kMode3270);
    read(kEraseWrite + ebcdic("PLAIN") + Bytes{IAC, EOR});
    EXPECT_EQ(row(0), "PLAIN");
  }
}

// ---- records ---------------------------------------------------------------------------------

TEST_F(Tn3270eSessionTest, ResponsesCarryTheRequestsSequenceNumber) {
  const Bytes good = kEraseWrite + ebcdic("OK");
  const Bytes badCommand = Bytes{0x77, 0xC3};
  const Bytes badAddress = Bytes{0xF1, 0xC3, 0x11, 0x7F, 0x7F};  // 4095: beyond 24 x 80
  const struct {
    const char* name;
    uint8_t flag;
    uint16_t sequence;
    Bytes body;
    std::string response;
  } cases[] = {
      {"always, good", 2, 7, good, "02 00 00 00 07 00 ff ef"},
      {"always, unknown command", 2, 8, badCommand, "02 00 01 00 08 00 ff ef"},
      {"always, address beyond", 2, 9, badAddress, "02 00 01 00 09 02 ff ef"},
      {"error, good", 1, 10, good, ""},
      {"error, address beyond", 1, 11, badAddress, "02 00 01 00 0b 02 ff ef"},
      {"none, unknown command", 0, 12, badCommand, ""},
      {"sequence with IAC", 2, 0xFFFF, good, "02 00 00 ff ff ff ff 00 ff ef"},
  };
  agree();
  read(bindImage(24, 80));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    read(record(0, c.flag, c.sequence, c.body));
    EXPECT_EQ(sent(c.response.empty() ? 0 : (c.response.size() + 1) / 3), c.response);
  }
  EXPECT_EQ(row(0), "OK");
  // A read command is acknowledged first, then answered (the terminal's first record: number 0).
  read(record(0, 2, 0x0102, Bytes{0xF6}));
  EXPECT_EQ(sent(20), "02 00 00 01 02 00 ff ef 00 00 00 00 00 60 40 40 d6 d2 ff ef");
}

TEST_F(Tn3270eSessionTest, StreamCutAtEveryByteGivesTheSameScreenAndResponses) {
  // A BIND, and a record whose header and body hold doubled IACs.
  const Bytes stream = bindImage(43, 80) + record(0, 2, 0x00FF, Bytes{0x7E, 0xC3} + ebcdic("CUT") + Bytes{0xFF}) +
                       record(7, 0, 0xFF00, ebcdic("X"));
  connect("3279-4-E", "");
  agree();
  read(stream);
  const std::string whole = sent(17);
  ASSERT_EQ(whole, "02 00 00 00 ff ff 00 ff ef");
  ASSERT_EQ(row(0), "X");  // the SSCP text erased the LU-LU screen
  for (size_t cut = 1; cut < stream.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut));
    connect("3279-4-E", "");
    agree();
    read(Bytes(stream.begin(), stream.begin() + static_cast<long>(cut)));
    read(Bytes(stream.begin() + static_cast<long>(cut), stream.end()));
    EXPECT_EQ(sent(9), whole);
    EXPECT_EQ(row(0), "X");
    EXPECT_EQ(t->recordFill, 0);
  }
}

TEST_F(Tn3270eSessionTest, BindNamesTheAlternateSizeAndUnbindWaits) {
  connect("3279-4-E", "");
  agree();
  // 3270 data before the BIND is dropped, without a response.
  read(record(0, 2, 1, kEraseWrite + ebcdic("EARLY")));
  EXPECT_EQ(sentNow(), "");
  EXPECT_EQ(row(0), "");
  EXPECT_TRUE(t->modelLocked);
  read(bindImage(32, 80));
  EXPECT_FALSE(t->modelLocked);
  read(record(0, 0, 2, Bytes{0x7E, 0xC3} + ebcdic("ALT")));
  EXPECT_EQ(t->modelScreen.rows, 32);
  EXPECT_EQ(t->modelScreen.columns, 80);
  // A size beyond the model's is not taken.
  read(bindImage(50, 80) + record(0, 0, 3, Bytes{0x7E, 0xC3}));
  EXPECT_EQ(t->modelScreen.rows, 43);
  read(record(4, 0, 4, Bytes{0x32, 0x01}));
  EXPECT_EQ(row(0), "");
  EXPECT_EQ(t->modelScreen.rows, 43);  // the model's own alternate size again
  EXPECT_TRUE(t->modelLocked);
  EXPECT_EQ(t->tn3270e.session, tn3270e::kSessionUnbound);
  // SSCP-LU text needs no BIND; 3270 data after it still does.
  read(record(7, 0, 5, ebcdic("SSCP")) + record(0, 2, 6, kEraseWrite + ebcdic("LATE")));
  EXPECT_EQ(row(0), "SSCP");
  EXPECT_EQ(sentNow(), "");
}

TEST_F(Tn3270eSessionTest, SscpAndNvtTextIsShownAndAnswered) {
  agree();
  read(record(7, 0, 1, ebcdic("USSMSG")));
  EXPECT_EQ(row(0), "USSMSG");
  type("LOGON");
  model3270::Attention(*t, 0x7D);
  EXPECT_EQ(sent(12), "07 00 00 00 00 d3 d6 c7 d6 d5 ff ef");  // what was typed, as SSCP-LU data
  EXPECT_FALSE(t->modelLocked);
  read(record(7, 0, 2, ebcdic("  OK")));
  EXPECT_EQ(row(0), "USSMSGLOGON  OK");
  // NVT data: ASCII lines on a screen of their own; Enter sends the line.
  read(record(5, 0, 3, text("login:\r\nname?")));
  EXPECT_EQ(row(0), "login:");
  EXPECT_EQ(row(1), "name?");
  type("me");
  model3270::Attention(*t, 0x7D);
  EXPECT_EQ(sent(11), "05 00 00 00 01 6d 65 0d 0a ff ef");  // the terminal's second record
  // ATTN needs BIND-IMAGE.
  connect("3279-2-E", "");
  agree({2, 4});
  EXPECT_FALSE(tn3270e::Attn(*t));
  EXPECT_EQ(sentNow(), "");
}

TEST_F(Tn3270eSessionTest, SysReqAndAttnAreTelnetCommands) {
  agree();
  read(bindImage(24, 80) + record(0, 0, 1, kEraseWrite + Bytes{0x1D, 0x40}));
  t->MenuCommand(window_, IDM_ATTN);
  EXPECT_EQ(sent(2), "ff f4");
  t->MenuCommand(window_, IDM_SYSREQ);
  EXPECT_EQ(sent(2), "ff f5");
  EXPECT_EQ(t->tn3270e.session, tn3270e::kSessionSscp);  // an empty screen for the SSCP's answer
  EXPECT_FALSE(model3270::formatted(t->modelScreen));
  // Without the SYSREQ function the key sends nothing (no header-less record).
  connect("3279-2-E", "");
  agree({2});
  t->MenuCommand(window_, IDM_SYSREQ);
  EXPECT_EQ(sentNow(), "");
  // Enter in the LU-LU session: the record behind a 3270-DATA header.
  type("A");
  model3270::Attention(*t, 0x7D);
  EXPECT_EQ(sent(11), "00 00 00 00 00 7d 40 c1 c1 ff ef");
}

}  // namespace
