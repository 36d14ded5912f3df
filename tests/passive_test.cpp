// The passive start: a host name written "passive:" + name connects without
// the opening negotiation and lets the host lead. The host here is a strict
// one played by the test: it expects nothing from the terminal before its
// DO TERMINAL-TYPE, resets a terminal that speaks first, and otherwise
// negotiates one step at a time up to the first 3270 screen.
#include <cstring>
#include <string>
#include <vector>

#include "net/connection.h"
#include "session_fixture.h"
#include "socket_host.h"

namespace {

using posix::testing::messageBoxes;

const char kCaptionPrefix[] = "Quillon  Host:  ";

// The strict host's steps: what it writes, and what the terminal must answer.
struct Step {
  const char* what;
  Bytes host;
  const char* answer;
};
const Step kStrictNegotiation[] = {
    {"DO TERMINAL-TYPE", bytesOf({0xFF, 0xFD, 0x18}), "FF FB 18"},
    {"SB TERMINAL-TYPE SEND", bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}),
     "FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0"},
    {"DO and WILL END-OF-RECORD", bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19}), "FF FB 19 FF FD 19"},
    {"DO and WILL BINARY", bytesOf({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}), "FF FB 00 FF FD 00"},
};

// Erase/Write: a protected "READY" on row 0, an input field on row 1 with the cursor in it.
const Bytes kFirstScreen = bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xD9, 0xC5, 0xC1, 0xC4, 0xE8, 0x11, 0xC1,
                                    0x50, 0x1D, 0x40, 0x13, 0xFF, 0xEF});

class PassiveTest : public SessionFixture {
 protected:
  // Plays the strict host from the accepted connection to the first screen;
  // the terminal's bytes, in order, as one hex dump.
  std::string runStrictHost(scripted::Host& host) {
    std::string wire;
    for (const Step& step : kStrictNegotiation) {
      SCOPED_TRACE(step.what);
      hostWrites(host, step.host);
      const std::string answer = hex(host.receive((std::strlen(step.answer) + 1) / 3));
      EXPECT_EQ(answer, step.answer);
      wire += (wire.empty() ? "" : " ") + answer;
    }
    hostWrites(host, kFirstScreen);
    const std::string rest = hex(host.takeReady());
    if (!rest.empty()) wire += " " + rest;
    return wire;
  }
};

const std::string kPassiveWire =
    "FF FB 18 FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0 FF FB 19 FF FD 19 FF FB 00 FF FD 00";

TEST_F(PassiveTest, StrictHostLeadsTheWholeNegotiation) {
  scripted::Host host;
  connectTo(host, DialogAnswer{}, "Passive:", "");
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(caption(), kCaptionPrefix + host.address());
  EXPECT_EQ(terminal()->terminalMode, 0) << "the IBM 3270 choice waits for the type answer";
  EXPECT_EQ(terminal()->connected, 1);

  EXPECT_EQ(runStrictHost(host), kPassiveWire);
  EXPECT_EQ(terminal()->terminalMode, 15);
  EXPECT_EQ(screenRows(2, 20),
            " READY|\n"
            "|\n");
  EXPECT_EQ(terminal()->cursorRow, 1);
  EXPECT_EQ(terminal()->cursorColumn, 1);
  EXPECT_TRUE(messageBoxes().empty());

  host.closeConnection();
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
}

// Without the prefix the six opening commands go out at once, the strict host
// resets the connection, and the program ends as for any host close.
TEST_F(PassiveTest, WithoutThePrefixTheStrictHostResetsAndTheProgramEndsQuietly) {
  scripted::Host host;
  connectTo(host, DialogAnswer{});  // expects the six opening commands first
  ASSERT_FALSE(HasFatalFailure());
  host.resetConnection();
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
  EXPECT_TRUE(messageBoxes().empty());
}

// An embedding program connects with the exported function and the same host
// names; the caption is the embedder's and stays as it was. The passive start
// holds for one connection only.
TEST_F(PassiveTest, PrefixWorksThroughTheExportedConnectFunction) {
  struct Case {
    const char* prefix;
    const char* opening;
  };
  const Case cases[] = {{"passive:", ""}, {"", kOpening}, {"pAsSiVe:", ""}};
  terminal()->terminalType = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("prefix \"") + c.prefix + "\"");
    scripted::Host host;
    CommTcp* t = terminal();
    t->connected = 0;
    const std::string name = c.prefix + host.address();
    ASSERT_EQ(ncTcpConnectToHost(hwnd, name.c_str(), &t->socketHandle), 1);
    ASSERT_TRUE(pumpUntil([&] { return terminal()->connected == 1; }));
    ASSERT_TRUE(host.accept());
    if (*c.opening == '\0') {
      EXPECT_EQ(hex(host.takeReady()), "");
      EXPECT_EQ(runStrictHost(host), kPassiveWire);
      EXPECT_EQ(terminal()->terminalMode, 15);
    } else {
      EXPECT_EQ(hex(host.receive(18)), c.opening);
    }
    EXPECT_EQ(caption(), "Quillon");
    // Closed here, before the host goes: its close would end the window.
    closesocket(t->socketHandle);
    t->socketHandle = INVALID_SOCKET;
  }
  EXPECT_TRUE(messageBoxes().empty());
}

// Nothing is sent that would fail, so a refused passive connection is reported
// once and the user can connect again.
TEST_F(PassiveTest, RefusedPassiveConnectionIsReportedOnce) {
  const std::string name = "passive:127.0.0.1:" + std::to_string(sockhost::unusedLoopbackPort());
  CommTcp* t = terminal();
  ASSERT_EQ(ncTcpConnectToHost(hwnd, name.c_str(), &t->socketHandle), 1);
  ASSERT_TRUE(pumpUntil([&] { return !messageBoxes().empty(); }));
  posix::testing::pumpFor(50);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].text.rfind("Errror 10061 ", 0), 0u) << messageBoxes()[0].text;
  EXPECT_NE(messageBoxes()[0].text.find(" occurred in Connecting To Host"), std::string::npos);
  EXPECT_EQ(t->socketHandle, INVALID_SOCKET);
  EXPECT_EQ(t->connected, 0);
  EXPECT_TRUE(IsWindow(hwnd));
}

// The host buffer keeps 39 characters, prefix included, and nothing is written
// past it; the connection and the caption have the whole name, without the prefix.
TEST_F(PassiveTest, LongPrefixedNameIsCutInTheBufferAndTheCaptionDropsThePrefix) {
  const std::string name(45, 'h');
  answerDialog(DialogAnswer{"passive:" + name});
  char buffer[HOST_NAME_SIZE + 8];
  std::memset(buffer, 'z', sizeof buffer);
  ASSERT_EQ(ncTcpGetHostName(GetModuleHandleA(nullptr), hwnd, buffer), 1);
  EXPECT_EQ(std::string(buffer), "passive:" + name.substr(0, 31));
  EXPECT_EQ(buffer[HOST_NAME_SIZE], 'z');
  EXPECT_EQ(caption(), kCaptionPrefix + name);
  EXPECT_EQ(std::string(terminal()->hostText), "passive:" + name);
}

}  // namespace
