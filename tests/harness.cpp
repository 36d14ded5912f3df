#include "harness.h"

#include <fstream>
#include <sstream>

void ScratchTest::SetUp() {
  portable::resetPlatform();
  previousDir_ = portable::currentDirectory();
  ASSERT_FALSE(previousDir_.empty());
  dir_ = portable::makeScratchDirectory();
  ASSERT_FALSE(dir_.empty());
  ASSERT_TRUE(portable::changeDirectory(dir_));
}

void ScratchTest::TearDown() {
  portable::resetPlatform();
  if (!previousDir_.empty()) {
    EXPECT_TRUE(portable::changeDirectory(previousDir_));
  }
  portable::removeTree(dir_);
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

std::string ScratchTest::readTextFile(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void TerminalWindowTest::SetUp() {
  ScratchTest::SetUp();
#ifndef _WIN32
  // The window's timers (the layout after a resize) run only when a test moves the clock.
  posix::testing::setManualClock(true);
#endif
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
