// VT100 sessions with Debian's telnet server, a host nobody here wrote. It
// offers AUTHENTICATION and ENCRYPT first and starts its program only once the
// terminal has answered them. The program prints known lines and escape
// sequences and reads a line, which it writes to a file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "session_fixture.h"
#include "telnetd_relay.h"
#include "ui/resource.h"

namespace {

constexpr char kProgram[] =
    "#!/bin/sh\n"
    "printf 'QUILLON TELNETD TEST\\n'\n"
    "printf '\\033[7mREVERSE\\033[0m plain\\n'\n"
    "printf '\\033[5;10HAT ROW 5 COL 10\\n'\n"
    "printf 'name? '\n"
    "read line\n"
    "printf 'got [%s]\\n' \"$line\"\n"
    "printf '%s\\n' \"$line\" > \"$1\"\n"
    "sleep 5\n";

class TelnetdTest : public SessionFixture, public ::testing::WithParamInterface<size_t> {
 protected:
  void SetUp() override {
    SessionFixture::SetUp();
    if (access(TelnetdRelay::kServer, X_OK) != 0) GTEST_SKIP() << TelnetdRelay::kServer << " is not installed";
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    dir = cwd;
    writeFile("telnetd-program.sh", kProgram);
    ASSERT_EQ(chmod((dir + "/telnetd-program.sh").c_str(), 0755), 0);
    std::remove((dir + "/telnetd-line.txt").c_str());
    // Cells of 10 x 20 pixels once the layout has run.
    PostMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(810, 520));
    posix::testing::pumpUntilIdle();
    posix::testing::advanceClock(100);
    posix::testing::pumpUntilIdle();
  }

  // Relays both ways, the server's output in pieces, until `done` holds.
  bool relayUntil(TelnetdRelay& relay, const std::function<bool()>& done, int timeoutMs = 8000) {
    return pumpUntil(
        [&] {
          relay.pass(GetParam(), [&] { letTerminalRead(); });
          return done();
        },
        timeoutMs);
  }

  std::string dir;
};

bool contains(const std::vector<uint8_t>& bytes, const Bytes& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

TEST_P(TelnetdTest, ProgramStartsShowsItsScreenAndReadsATypedLine) {
  TelnetdRelay relay(dir + "/telnetd-program.sh " + dir + "/telnetd-line.txt");
  ASSERT_TRUE(relay.listening());
  answerDialog({relay.address(), /*vt100=*/true});
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_TRUE(pumpUntil([&] { return terminal() && terminal()->connected == 1; }));
  ASSERT_TRUE(relay.start());

  ASSERT_TRUE(relayUntil(relay, [&] { return posix::testing::rowText(hwnd, 5, 6) == "name? "; }))
      << screenRows(8) << "server sent: " << hex(relay.fromServer()) << "\nterminal sent: " << hex(relay.fromTerminal());
  // The server's offers were refused, so it went on.
  EXPECT_TRUE(contains(relay.fromServer(), bytesOf({0xFF, 0xFB, 0x25, 0xFF, 0xFB, 0x26})));
  EXPECT_TRUE(contains(relay.fromTerminal(), bytesOf({0xFF, 0xFE, 0x25})));
  EXPECT_TRUE(contains(relay.fromTerminal(), bytesOf({0xFF, 0xFE, 0x26})));

  for (char c : std::string("hello")) PostMessageA(hwnd, WM_CHAR, static_cast<WPARAM>(c), 1);
  PostMessageA(hwnd, WM_CHAR, 13, 1);
  ASSERT_TRUE(relayUntil(relay, [&] { return posix::testing::rowText(hwnd, 6, 11) == "got [hello]"; }))
      << screenRows(8);
  EXPECT_EQ(screenRows(8),
            "QUILLON TELNETD TEST|\n"
            "REVERSE plain|\n"
            "|\n"
            "|\n"
            "         AT ROW 5 COL 10|\n"
            "name? hello|\n"
            "got [hello]|\n"
            "|\n");
  EXPECT_TRUE(pumpUntil([&] { return readTextFile("telnetd-line.txt") == "hello\n"; }));
  EXPECT_TRUE(posix::testing::messageBoxes().empty());
}

// Whole reads, and reads of at most three bytes: the same screen.
INSTANTIATE_TEST_SUITE_P(Reads, TelnetdTest, ::testing::Values(size_t{0}, size_t{3}),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return info.param == 0 ? std::string("Whole") : "PiecesOf" + std::to_string(info.param);
                         });

}  // namespace
