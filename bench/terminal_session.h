// What every benchmark of the terminal needs: the main window created the way
// the program creates it, on the headless display, laid out as after its first
// resize; and the inputs that make-inputs.py wrote.
#pragma once

#include <cstddef>
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
  // Message boxes shown since the session started (none is expected: the
  // inputs ask for no reply, and a reply without a socket would show one).
  size_t messageBoxes() const;
  // Why the session could not be made, or "" when it is ready.
  const std::string& error() const { return error_; }

  HWND window = nullptr;
  CommTcp* t = nullptr;

 private:
  std::string error_;
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
