// A real TCP connection on 127.0.0.1 for wire tests: the client end goes to the
// terminal (its descriptor is the Winsock SOCKET of the POSIX build, a Winsock
// SOCKET on Windows), the test plays the host on the server end. No Win32 types
// here, so it can sit next to either platform's headers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#ifdef _WIN32
using LoopbackSocket = std::uintptr_t;  // SOCKET
#else
using LoopbackSocket = int;
#endif

struct Loopback {
  static constexpr LoopbackSocket kClosed = static_cast<LoopbackSocket>(-1);
  LoopbackSocket client = kClosed;  // the terminal's end
  LoopbackSocket server = kClosed;  // the host's end
  Loopback();
  ~Loopback();
  Loopback(const Loopback&) = delete;
  Loopback& operator=(const Loopback&) = delete;

  // Everything the host end receives within the time (stops early after a quiet 50 ms).
  std::vector<uint8_t> hostReceives(int timeoutMs = 1000);
  // Sends bytes from the host end, all of them.
  void hostSends(const std::vector<uint8_t>& bytes);
  void hostSends(const std::string& bytes);
  // Makes the terminal's end non-blocking, as the event selection does.
  void makeClientNonBlocking();
  // Closes the host end (the terminal then sees the connection closed).
  void closeHost();
};

// Hex dump "7D C6 5A FF EF" for readable expectations.
std::string hex(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(std::initializer_list<int> values);
