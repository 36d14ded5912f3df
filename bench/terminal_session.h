// What every benchmark of the terminal needs: the main window created the way
// the program creates it, on the headless display, laid out as after its first
// resize; and the inputs that make-inputs.py wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "terminal/comm_tcp.h"

namespace bench {

// The most one read event hands to the Telnet engine (the receive buffer keeps
// one byte for the interpreter's terminator). The libvterm runs write pieces of
// the same size.
constexpr int kReadSize = 4095;

// The main window and its terminal object for the lifetime of one benchmark
// run. Construction resets the platform; destruction closes the window.
class TerminalSession {
 public:
  TerminalSession();
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Hands `size` bytes to ParseData the way read events do: each piece is what
  // one recv into the receive buffer would deliver.
  void feed(const unsigned char* bytes, size_t size);
  // Connects as the user does: the Connect command with the host dialog
  // answered (`hostText`, VT100), the connection and, for "tls:", the handshake
  // run by the socket's events in the message loop. `whileWaiting` is asked
  // after each turn of the loop and ends the wait when it returns false. True
  // once the terminal is connected; otherwise error() says why.
  bool connect(const std::string& hostText, const std::function<bool()>& whileWaiting, int timeoutMs);
  // Runs the program's message loop (GetMessageA, TranslateMessage,
  // DispatchMessageA) until `done` holds at a moment when the loop has nothing
  // left to dispatch and would wait. False when the window or its connection
  // ended first. Counts the read events dispatched in readEvents.
  bool runUntil(const std::function<bool()>& done);
  // Message boxes shown since the session started (none is expected: the
  // inputs ask for no reply, and a reply without a socket would show one).
  size_t messageBoxes() const;
  // Why the session could not be made, or "" when it is ready.
  const std::string& error() const { return error_; }

  HWND window = nullptr;
  CommTcp* t = nullptr;
  int64_t readEvents = 0;

 private:
  std::string error_;
  bool winsock_ = false;
};

struct Input {
  std::string name;
  std::vector<unsigned char> bytes;
};

// Reads one file of the inputs directory; false (with a message on stderr) when
// it is missing.
bool loadInput(const std::string& directory, const std::string& name, Input* out);

// Runs the benchmarks in a directory of their own, removed at exit, so the
// terminal's settings and trace files never land in the caller's directory.
bool enterScratchDirectory();

}  // namespace bench
