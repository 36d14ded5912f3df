// Shared set-up for tests that drive the terminal window through the real
// exported functions: on the headless display on POSIX, on the real window
// system on Windows.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/shell.h"
#include "portable.h"
#include "terminal/comm_tcp.h"

#ifndef _WIN32
#include "platform/posix/display.h"
#include "platform/posix/testing.h"
#endif

// Runs each test in a fresh scratch directory on a fresh platform.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes a file into the scratch directory.
  void writeFile(const std::string& name, const std::string& text);
  std::string readFile(const std::string& name);
  // Reads a file written in text mode as text (CR LF read as "\n" on Windows).
  std::string readTextFile(const std::string& name);

 private:
  std::string previousDir_;
  std::string dir_;
};

// Adds the main window, created as WinMain creates it. On POSIX the window's
// timers run only when a test moves the layer's manual clock.
class TerminalWindowTest : public ScratchTest {
 protected:
  void SetUp() override;
  HWND createMainWindow();
  CommTcp* terminal() const { return reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window_, 0)); }
  HWND window_ = nullptr;
};

// The main window created in SetUp; t is its terminal object, cw x ch its cell.
class OpenTerminalTest : public TerminalWindowTest {
 protected:
  void SetUp() override;
  CommTcp* t = nullptr;
  int cw = 0;
  int ch = 0;
};

// The window laid out for VT100 use as its layout message leaves it: 25 rows of
// 81 cells, the default region, the view on the live screen, the scroll bar there.
class NvtLayoutTest : public OpenTerminalTest {
 public:
  static constexpr int kLive = 100;  // buffer row of screen row 0

 protected:
  void SetUp() override;
  void setRegionRows(int top, int bottom) { t->scrollRegion = RECT{0, top * ch, 80 * cw, bottom * ch}; }
};

// Makes the next nothrow allocations fail: the first `skip` succeed, then one fails.
void failNothrowAllocationAfter(int skip);
