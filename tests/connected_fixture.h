// A terminal window whose socket is the terminal's end of a loopback connection;
// the test plays the host on the other end.
#pragma once

#include <string>

#include "harness.h"
#include "loopback.h"

template <typename Base>
class OnLoopback : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    if (this->HasFatalFailure()) return;
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    this->t->socketHandle = static_cast<SOCKET>(loop.client);
  }
  // What the host end has received, as hex ("" when nothing came in time).
  std::string sent(int timeoutMs = 300) { return hex(loop.hostReceives(timeoutMs)); }
  Loopback loop;
};
