// A terminal window connected, as the user connects it, to a host played by
// the test on 127.0.0.1: the Connect command, the host dialog answered, the
// socket's events through the message loop, the opening negotiation seen by
// the host. Shared by the connection tests and the user-session tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "loopback.h"
#include "scripted_host.h"
#include "stream_bytes.h"

// What the terminal sends as soon as the connection is up.
inline constexpr char kOpening[] = "FF FD 01 FF FC 01 FF FB 03 FF FD 03 FF FB 1F FF FD 1F";

// What the user does in the host dialog.
struct DialogAnswer {
  std::string host;
  bool vt100 = false;
  bool trace = false;
  bool cancel = false;
};

class SessionFixture : public TerminalWindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Answers the next host dialog as the user would; `inspect` sees it first.
  void answerDialog(const DialogAnswer& answer, std::function<void(HWND)> inspect = nullptr);
  // Runs the message loop until `done` holds; false when the time ran out.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 3000);

  SOCKET terminalSocket() const;
  // Lets the terminal take in what the host has just sent.
  void letTerminalRead();
  // The host's write: whole, or `piece` bytes at a time with a read after each.
  void hostWrites(scripted::Host& host, const Bytes& bytes);
  // The Connect menu command up to the end of the opening negotiation. The host
  // name typed is the host's address with `prefix` in front; `opening` is what
  // the host must receive first (hex), "" for nothing at all.
  void connectTo(scripted::Host& host, DialogAnswer answer, const std::string& prefix = "",
                 const std::string& opening = kOpening);

  std::string caption() const;
  // The window's first `rows` rows, trailing blanks cut, each ended by "|\n".
  std::string screenRows(int rows, int columns = 80) const;
  bool windowEnded();

  HWND hwnd = nullptr;
  size_t piece = 0;  // 0: the host writes whole blocks
  int dialogsShown = 0;
  std::string dialogCaption;
  std::string modelChoice;  // chosen in the host dialog's model list; empty: left as offered
};
