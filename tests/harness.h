// Shared set-up for tests that drive the terminal window through the real
// exported functions on the headless display.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/shell.h"
#include "platform/posix/display.h"
#include "platform/posix/testing.h"
#include "terminal/comm_tcp.h"

// Runs each test in a fresh scratch directory on a fresh platform.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes a file into the scratch directory.
  void writeFile(const std::string& name, const std::string& text);
  std::string readFile(const std::string& name);

 private:
  std::string previousDir_;
  std::string dir_;
};

// Adds the main window, created as WinMain creates it.
class TerminalWindowTest : public ScratchTest {
 protected:
  void SetUp() override;
  HWND createMainWindow();
  CommTcp* terminal() const { return reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window_, 0)); }
  HWND window_ = nullptr;
};

// Makes the next nothrow allocations fail: the first `skip` succeed, then one fails.
void failNothrowAllocationAfter(int skip);
