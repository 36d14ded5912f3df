// Quillon on a terminal against the demo host, end to end: tmux runs the real
// quillon executable (100 x 32) with the real demo host as its default host,
// and the test acts as the user at the keyboard and reads the pane.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "demo_logon.h"
#include "tmux_pane.h"

using namespace tmuxpane;

namespace {

class TtyDemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = std::getenv("QUILLON_EXE") ? std::getenv("QUILLON_EXE") : "";
    if (exe_.empty()) GTEST_SKIP() << "QUILLON_EXE is not set";
    if (!run("command -v tmux")) GTEST_SKIP() << "tmux is not installed";
    char dir[] = "/tmp/quillon-demo-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    if (!dir_.empty()) run("rm -rf " + quote(dir_));
  }
  // Starts the demo host on a free port with `hostOptions`, and Quillon with it,
  // written `prefix` + address, as the default host.
  ::testing::AssertionResult start(const std::string& hostOptions = "", const std::string& prefix = "") {
    return launch("exec {ports}< <(exec " + quote(QUILLON_DEMO_HOST_FILE) + " --port 0 --logoff-delay 0 " +
                  hostOptions + " 2> host.log)\n" +
                  "host=$!\n"
                  "read -r line <&\"$ports\"\n" +
                  quote(exe_) + " " + quote(prefix) + "\"${line##* }\"\n" +
                  "echo quillon-exit-status=$?\n"
                  "kill \"$host\"\n");
  }
  // Runs `script` in the test's directory in the pane, then keeps the pane; the
  // script ends with Quillon's exit status.
  ::testing::AssertionResult launch(const std::string& script) {
    std::ofstream(dir_ + "/run.sh") << "cd " << quote(dir_) << "\n" << script << "exec sleep 600\n";
    if (!tmux.start("bash " + quote(dir_ + "/run.sh"))) return ::testing::AssertionFailure() << "tmux";
    return shows({"Quillon", "Main  Edit  Connect"});
  }
  // Waits until the pane shows every one of the texts.
  ::testing::AssertionResult shows(std::initializer_list<std::string> texts) { return showsAll(texts); }
  ::testing::AssertionResult showsAll(const std::vector<std::string>& wanted) {
    std::string pane;
    if (tmux.waitFor(
            [&](const std::string& p) {
              for (const std::string& t : wanted)
                if (!has(p, t)) return false;
              return true;
            },
            &pane))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the pane shows:\n" << pane;
  }
  // Co&nnect on the menu bar, then the host dialog with the demo host filled in.
  ::testing::AssertionResult openHostDialog() {
    if (!tmux.keys("C-] Right Right Enter")) return ::testing::AssertionFailure() << "send-keys";
    return shows({"Destination Host", "127.0.0.1:"});
  }
  // The user at the pane's keyboard.
  demo::User user() {
    return demo::User{[this](const std::vector<std::string>& texts) { return showsAll(texts); },
                      [this](const std::string& text) { return has(tmux.pane(), text); },
                      [this](const std::string& text) { return tmux.type(text); },
                      [this](const std::string& key) { return tmux.keys(key); }, {}};
  }
  Tmux tmux;
  std::string exe_;
  std::string dir_;
};

TEST_F(TtyDemoTest, A3270LogonAndAVt100ShellThenExit) {
  ASSERT_TRUE(start());

  // 3270: the dialog offers IBM 3270; OK connects to the logon panel.
  ASSERT_TRUE(openHostDialog());
  ASSERT_TRUE(tmux.keys("Enter"));
  ASSERT_TRUE(demo::WalkLogon(user()));

  // The list: PF8 pages forward, PF3 goes back to the menu.
  ASSERT_TRUE(tmux.type("1"));
  ASSERT_TRUE(tmux.keys("Enter"));
  ASSERT_TRUE(shows({"BROWSE", "LINES 01-17 OF 60"}));
  ASSERT_TRUE(tmux.keys("F8"));
  ASSERT_TRUE(shows({"LINES 18-34 OF 60"}));
  ASSERT_TRUE(tmux.keys("F3"));
  ASSERT_TRUE(shows({"MAIN MENU"}));

  // VT100: Connect again, VT100 chosen in the dialog (Tab to the terminal type, Up).
  ASSERT_TRUE(openHostDialog());
  ASSERT_TRUE(tmux.keys("Tab Up Enter"));
  ASSERT_TRUE(shows({"demo> "}));
  ASSERT_TRUE(tmux.type("box"));
  ASSERT_TRUE(tmux.keys("Enter"));
  ASSERT_TRUE(shows({"┌", "┐", "└", "┘", "│", "─"}));
  // The screen is drawn in the window's colours: green text on black by default.
  const std::string coloured = tmux.paneWithColours();
  EXPECT_TRUE(has(coloured, "38;2;0;255;0") || has(coloured, "38;5;46") || has(coloured, "\x1b[32m"))
      << coloured;

  // Exit from the Main menu ends the program with status 0 and gives the terminal back.
  ASSERT_TRUE(tmux.keys("C-] Down"));
  ASSERT_TRUE(shows({"│ Exit"}));
  ASSERT_TRUE(tmux.keys("Down Enter"));
  ASSERT_TRUE(shows({"quillon-exit-status="}));
  EXPECT_TRUE(has(tmux.pane(), "quillon-exit-status=0")) << tmux.pane();
  EXPECT_EQ(tmux.format("#{alternate_on} #{cursor_flag} #{keypad_flag} #{mouse_any_flag}"), "0 1 0 0");
}

// A strict host resets any client that speaks first; through the passive: prefix
// Quillon waits for it and reaches the first panel.
TEST_F(TtyDemoTest, PassivePrefixReachesAStrictHost) {
  ASSERT_TRUE(start("--strict", "passive:"));
  ASSERT_TRUE(openHostDialog());
  EXPECT_TRUE(has(tmux.pane(), "passive:127.0.0.1:"));
  ASSERT_TRUE(tmux.keys("Enter"));
  ASSERT_TRUE(shows({demo::kLogonTitle, demo::kUserPrompt}));
  EXPECT_FALSE(has(tmux.pane(), "Host:  passive:"));  // the caption shows the name alone
  ASSERT_TRUE(tmux.keys("C-] Down"));
  ASSERT_TRUE(shows({"│ Exit"}));
  ASSERT_TRUE(tmux.keys("Down Enter"));
  ASSERT_TRUE(shows({"quillon-exit-status=0"}));
}

// Through TLS: stunnel in front of the demo host, Quillon started with a "tls:"
// host and the test CA in the quillon.ini of its working directory.
TEST_F(TtyDemoTest, TlsLogonThroughStunnel) {
  demo::TlsDemoHost host;
  if (host.skipped()) GTEST_SKIP() << host.trouble();
  ASSERT_EQ(host.trouble(), "");
  std::ofstream(dir_ + "/quillon.ini") << demo::TlsDemoHost::Settings();
  const std::string address = "127.0.0.1:" + std::to_string(host.port());
  ASSERT_TRUE(launch(quote(exe_) + " " + quote("tls:" + address) + "\necho quillon-exit-status=$?\n"));

  ASSERT_TRUE(openHostDialog());
  EXPECT_TRUE(has(tmux.pane(), "tls:" + address));
  ASSERT_TRUE(tmux.keys("Enter"));
  ASSERT_TRUE(shows({"Host:  " + address + "  [TLS]"}));
  ASSERT_TRUE(demo::WalkLogon(user()));
  ASSERT_TRUE(tmux.keys("C-] Down"));
  ASSERT_TRUE(shows({"│ Exit"}));
  ASSERT_TRUE(tmux.keys("Down Enter"));
  ASSERT_TRUE(shows({"quillon-exit-status=0"}));
}

// A 3279-5-E chosen in the quillon.ini of its directory: on a terminal wide
// enough, the demo host's logon panel comes on the 27 x 132 screen in colour
// (the user id label turquoise, its default), and keys still reach the host.
TEST_F(TtyDemoTest, A3279ShowsTheColouredLogonPanelOnTheWideScreen) {
  std::ofstream(dir_ + "/quillon.ini") << "[3270]\nModel=3279-5-E\n";
  ASSERT_TRUE(start());
  ASSERT_TRUE(tmux.resize(140, 36));
  ASSERT_TRUE(openHostDialog());
  ASSERT_TRUE(tmux.keys("Enter"));
  ASSERT_TRUE(shows({demo::kLogonTitle, demo::kUserPrompt}));
  // The panel is centred on 132 columns: the label stands 26 columns in.
  const std::string pane = tmux.pane();
  const size_t label = pane.find(demo::kUserPrompt);
  ASSERT_NE(label, std::string::npos);
  EXPECT_EQ(label - (pane.rfind('\n', label) + 1), 26u + 3u) << pane;
  const std::string coloured = tmux.paneWithColours();
  EXPECT_TRUE(has(coloured, "38;2;64;224;224") || has(coloured, "38;5;80")) << coloured;
  ASSERT_TRUE(demo::WalkLogon(user()));
}

}  // namespace
