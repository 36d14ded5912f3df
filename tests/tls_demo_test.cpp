// The real demo host behind stunnel, reached with "tls:" through the host
// dialog: the 3270 logon panel arrives through TLS, and a logon typed as keys
// on the window goes back through it and brings the main menu.
#include <cctype>
#include <string>

#include "demo_host.h"
#include "session_fixture.h"
#include "tls_host.h"
#include "ui/resource.h"

namespace {

using posix::testing::messageBoxes;

class TlsDemoTest : public SessionFixture {
 protected:
  // A key pressed and released; the message loop's TranslateMessage makes the characters.
  void press(UINT vk, unsigned scan = 0) {
    const LPARAM down = static_cast<LPARAM>(1u | (scan << 16));
    PostMessageA(hwnd, WM_KEYDOWN, vk, down);
    PostMessageA(hwnd, WM_KEYUP, vk, static_cast<LPARAM>(static_cast<uint32_t>(down) | 0xC0000000u));
    posix::testing::pumpUntilIdle();
  }
  void typeLetters(const std::string& letters) {
    for (char c : letters) press(static_cast<UINT>(std::toupper(static_cast<unsigned char>(c))));
  }
  std::string row(int r) const { return posix::testing::rowText(hwnd, r, 80); }
  // Runs the message loop until row `r` shows `text`.
  bool rowShows(int r, const std::string& text) {
    return pumpUntil([&] { return row(r).find(text) != std::string::npos; }, 10000);
  }
  std::string lastBox() const { return messageBoxes().empty() ? "" : messageBoxes().back().text; }
};

TEST_F(TlsDemoTest, LogonThroughStunnelReachesTheMainMenu) {
  if (TestCertificates().empty()) GTEST_SKIP() << "the openssl command could not make the certificates";
  DemoHost host;
  ASSERT_GT(host.port(), 0) << host.firstLine();
  Stunnel tunnel(host.port(), "good");
  ASSERT_GT(tunnel.port(), 0) << "stunnel did not start";
  writeFile("quillon.ini", "[TLS]\nCAFile=" + TestCertificates() + "/ca.pem\n");

  const std::string address = "localhost:" + std::to_string(tunnel.port());
  answerDialog(DialogAnswer{"tls:" + address});
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_TRUE(rowShows(0, "QUILLON DEMO HOST - LOGON")) << lastBox() << "\n" << screenRows(24);
  EXPECT_NE(row(7).find("USERID   ===>"), std::string::npos) << row(7);
  EXPECT_NE(row(9).find("PASSWORD ===>"), std::string::npos) << row(9);
  EXPECT_EQ(caption(), "Quillon  Host:  " + address + "  [TLS]");
  EXPECT_EQ(terminal()->cursorRow, 7);
  EXPECT_EQ(terminal()->cursorColumn, 18);

  typeLetters("alice");
  press(VK_TAB, 0x0F);
  typeLetters("secret");
  EXPECT_NE(row(7).find("===>  alice"), std::string::npos) << row(7);
  EXPECT_EQ(row(9).find("secret"), std::string::npos) << "the password field shows nothing";
  press(VK_RETURN, 0x1C);
  ASSERT_TRUE(rowShows(0, "QUILLON DEMO HOST - MAIN MENU")) << screenRows(24);
  EXPECT_NE(row(0).find("USER ALICE"), std::string::npos) << row(0);
  EXPECT_NE(row(22).find("LOGON ACCEPTED - WELCOME, ALICE"), std::string::npos) << row(22);
  EXPECT_TRUE(messageBoxes().empty()) << lastBox();
}

}  // namespace
