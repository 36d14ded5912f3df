// The real demo host behind stunnel, reached with "tls:" through the host
// dialog: the 3270 logon panel arrives through TLS, and a logon typed as keys
// on the window goes back through it and brings the main menu.
#include <cctype>
#include <string>

#include "demo_logon.h"
#include "session_fixture.h"
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
  // The user at the window's keyboard.
  demo::User user() {
    const auto screen = [this] { return screenRows(24); };
    return demo::User{
        [this, screen](const std::vector<std::string>& texts) {
          const auto all = [&] {
            for (const std::string& t : texts)
              if (screen().find(t) == std::string::npos) return false;
            return true;
          };
          if (pumpUntil(all, 10000)) return ::testing::AssertionSuccess();
          return ::testing::AssertionFailure() << "the window shows:\n" << screen();
        },
        [screen](const std::string& text) { return screen().find(text) != std::string::npos; },
        [this](const std::string& text) {
          typeLetters(text);
          return true;
        },
        [this](const std::string& key) {
          if (key == "Tab") press(VK_TAB, 0x0F);
          else press(VK_RETURN, 0x1C);
          return true;
        },
        {}};
  }
};

TEST_F(TlsDemoTest, LogonThroughStunnelReachesTheMainMenu) {
  demo::TlsDemoHost host;
  if (host.skipped()) GTEST_SKIP() << host.trouble();
  ASSERT_EQ(host.trouble(), "");
  writeFile("quillon.ini", demo::TlsDemoHost::Settings());

  const std::string address = "localhost:" + std::to_string(host.port());
  answerDialog(DialogAnswer{"tls:" + address});
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_TRUE(rowShows(0, demo::kLogonTitle)) << lastBox() << "\n" << screenRows(24);
  EXPECT_NE(row(7).find(demo::kUserPrompt), std::string::npos) << row(7);
  EXPECT_NE(row(9).find(demo::kPasswordPrompt), std::string::npos) << row(9);
  EXPECT_EQ(caption(), "Quillon  Host:  " + address + "  [TLS]");
  EXPECT_EQ(terminal()->cursorRow, 7);
  EXPECT_EQ(terminal()->cursorColumn, 18);

  demo::User keyboard = user();
  keyboard.typed = [this] { EXPECT_NE(row(7).find("===>  alice"), std::string::npos) << row(7); };
  ASSERT_TRUE(demo::WalkLogon(keyboard));
  EXPECT_NE(row(0).find("USER ALICE"), std::string::npos) << row(0);
  EXPECT_NE(row(22).find(demo::kWelcome), std::string::npos) << row(22);
  EXPECT_TRUE(messageBoxes().empty()) << lastBox();
}

}  // namespace
