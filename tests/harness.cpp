#include "harness.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

void ScratchTest::SetUp() {
  posix::testing::resetPlatform();
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  previousDir_ = cwd;
  char pattern[] = "/tmp/quillon-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  ASSERT_EQ(chdir(dir_.c_str()), 0);
}

void ScratchTest::TearDown() {
  posix::testing::resetPlatform();
  if (!previousDir_.empty()) {
    EXPECT_EQ(chdir(previousDir_.c_str()), 0);
  }
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

void ScratchTest::writeFile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

std::string ScratchTest::readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void TerminalWindowTest::SetUp() {
  ScratchTest::SetUp();
  // The window's timers (the layout after a resize) run only when a test moves the clock.
  posix::testing::setManualClock(true);
}

HWND TerminalWindowTest::createMainWindow() {
  EXPECT_EQ(ncTcpRegisterClass(3, GetModuleHandleA(nullptr)), 1);
  EXPECT_EQ(ncTcpCreateSocketObj(&window_, nullptr, "Quillon", QUILLON_WINDOW_STYLE, nullptr), 0);
  return window_;
}

void OpenTerminalTest::SetUp() {
  TerminalWindowTest::SetUp();
  createMainWindow();
  t = terminal();
  ASSERT_NE(t, nullptr);
  cw = t->cellWidth;
  ch = t->cellHeight;
  ASSERT_GT(cw, 0);
  ASSERT_GT(ch, 0);
}

void NvtLayoutTest::SetUp() {
  OpenTerminalTest::SetUp();
  if (HasFatalFailure()) return;
  t->nvtColumns = 81;
  t->nvtRows = 25;
  setRegionRows(0, 24);
  SetScrollRange(window_, SB_VERT, 0, kLive, FALSE);
  SetScrollPos(window_, SB_VERT, kLive, TRUE);
  t->nvtViewTop = kLive;
}
