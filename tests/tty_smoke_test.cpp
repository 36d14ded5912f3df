// The quillon executable on a real terminal: tmux runs it in a pane of 100 x 32
// and the test reads the pane as a user would see it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tmux_pane.h"

using namespace tmuxpane;

TEST(TtyDisplaySmokeTest, MenuExitEndsTheProgramAndRestoresTheTerminal) {
  const char* exe = std::getenv("QUILLON_EXE");
  if (!exe) GTEST_SKIP() << "QUILLON_EXE is not set";
  if (!run("command -v tmux")) GTEST_SKIP() << "tmux is not installed";
  char dir[] = "/tmp/quillon-tty-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);

  Tmux tmux;
  ASSERT_TRUE(tmux.start("cd " + quote(dir) + " && " + quote(exe) +
                         "; echo quillon-exit-status=$?; exec sleep 600"));
  std::string pane;
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "Quillon") && has(p, "Main  Edit  Connect"); },
                           &pane))
      << pane;
  EXPECT_EQ(tmux.format("#{alternate_on}"), "1");

  ASSERT_TRUE(tmux.keys("C-] Down"));
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "│ Escape") && has(p, "│ Exit"); }, &pane))
      << pane;
  ASSERT_TRUE(tmux.keys("Down Enter"));
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "quillon-exit-status="); }, &pane)) << pane;
  EXPECT_TRUE(has(pane, "quillon-exit-status=0")) << pane;

  // The terminal is as it was: the normal screen, the cursor shown, no keypad or mouse modes.
  EXPECT_FALSE(has(pane, "Main  Edit  Connect")) << pane;
  EXPECT_EQ(tmux.format("#{alternate_on} #{cursor_flag} #{keypad_flag} #{mouse_any_flag}"), "0 1 0 0");
  rmdir(dir);
}

// Ctrl+C is a character for the emulation, not a signal; SIGTERM and SIGHUP end
// the program through its close path with status 0 and the terminal restored.
class TtySignalTest : public ::testing::TestWithParam<const char*> {};

TEST_P(TtySignalTest, CtrlCIsTypedAndTheSignalClosesCleanly) {
  const char* exe = std::getenv("QUILLON_EXE");
  if (!exe) GTEST_SKIP() << "QUILLON_EXE is not set";
  if (!run("command -v tmux")) GTEST_SKIP() << "tmux is not installed";
  char dir[] = "/tmp/quillon-tty-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string pidFile = std::string(dir) + "/pid";
  Tmux tmux;
  ASSERT_TRUE(tmux.start("cd " + quote(dir) + " && bash -c 'echo $$ > pid; exec " + quote(exe) +
                         "'; echo quillon-exit-status=$?; exec sleep 600"));
  std::string pane;
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "Main  Edit  Connect"); }, &pane)) << pane;
  ASSERT_TRUE(tmux.keys("C-c C-z C-\\\\"));
  // Still running: the unconnected terminal says so for the typed character.
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "Please Connect to a host First"); }, &pane))
      << pane;
  EXPECT_FALSE(has(pane, "quillon-exit-status="));
  ASSERT_TRUE(tmux.keys("Enter"));
  std::string pid;
  ASSERT_TRUE(run("cat " + quote(pidFile), &pid));
  ASSERT_TRUE(run(std::string("kill -") + GetParam() + " " + pid));
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "quillon-exit-status="); }, &pane)) << pane;
  EXPECT_TRUE(has(pane, "quillon-exit-status=0")) << pane;
  EXPECT_EQ(tmux.format("#{alternate_on} #{cursor_flag} #{keypad_flag} #{mouse_any_flag}"), "0 1 0 0");
  run("rm -rf " + quote(dir));
}

INSTANTIATE_TEST_SUITE_P(Signals, TtySignalTest, ::testing::Values("TERM", "HUP"));
