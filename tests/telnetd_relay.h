// Debian's telnet server (inetutils telnetd) as a host for end-to-end tests.
// It runs from inetd, so the relay plays inetd: it listens on 127.0.0.1 for the
// terminal, and for each session starts `telnetd -h -E PROGRAM` on a loopback
// connection of its own. Everything between the two passes through the relay,
// which keeps what each side sent and can hand the server's output to the
// terminal in pieces of a chosen size. Plain POSIX calls, every wait bounded.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scripted_host.h"

class TelnetdRelay {
 public:
  static constexpr const char* kServer = "/usr/sbin/telnetd";

  // `program` is what telnetd runs instead of login (a command line).
  explicit TelnetdRelay(std::string program);
  ~TelnetdRelay();
  TelnetdRelay(const TelnetdRelay&) = delete;
  TelnetdRelay& operator=(const TelnetdRelay&) = delete;

  bool listening() const { return terminalSide_.listening(); }
  std::string address() const { return terminalSide_.address(); }
  // Takes the terminal's connection and starts the server for it.
  bool start(int timeoutMs = 3000);
  // Moves what is waiting on either side to the other. The server's bytes go to
  // the terminal `piece` at a time (0: as they came), with `between` called
  // after each (the test lets the terminal read there).
  void pass(std::size_t piece, const std::function<void()>& between);

  const std::vector<uint8_t>& fromServer() const { return fromServer_; }
  const std::vector<uint8_t>& fromTerminal() const { return fromTerminal_; }

 private:
  std::string program_;
  scripted::Host terminalSide_;
  int server_ = -1;  // the relay's end of the server's connection
  pid_t pid_ = -1;
  std::vector<uint8_t> fromServer_;
  std::vector<uint8_t> fromTerminal_;
};
