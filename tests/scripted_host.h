// A host played by the test on 127.0.0.1: it listens on an ephemeral port,
// accepts the terminal's connection and then reads and writes on it when the
// test says so. Plain POSIX calls and no program headers, so it can sit next
// to the platform header in a test file. Every wait is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace scripted {

// Bytes the socket holds unread (0 when it cannot tell).
int unreadBytes(int fd);
// Waits until the socket holds unread bytes; false when the time is up.
bool waitUnread(int fd, int timeoutMs = 3000);
// Whatever the socket holds now, without waiting.
std::vector<uint8_t> takeReady(int fd);
// Waits until at least `count` bytes have come (or the time is up), then takes
// whatever else is already there as well.
std::vector<uint8_t> receive(int fd, std::size_t count, int timeoutMs = 3000);

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  bool listening() const { return listener_ >= 0; }
  uint16_t port() const { return port_; }
  // "127.0.0.1:<port>", as typed into the host dialog.
  std::string address() const;

  // Takes the next connection waiting on the port; false when none came in time.
  bool accept(int timeoutMs = 3000);
  int connection() const { return connection_; }

  // Sends all of the bytes at once.
  void send(const std::vector<uint8_t>& bytes);
  // Sends the bytes `piece` at a time, calling `between` after each piece
  // (the test lets the terminal read it there).
  void sendInPieces(const std::vector<uint8_t>& bytes, std::size_t piece, const std::function<void()>& between);
  std::vector<uint8_t> receive(std::size_t count, int timeoutMs = 3000) { return scripted::receive(connection_, count, timeoutMs); }
  std::vector<uint8_t> takeReady() { return scripted::takeReady(connection_); }
  // True once the terminal has closed its end (end of stream or reset).
  bool peerClosed(int timeoutMs = 3000);
  // Closes the accepted connection (the orderly close the terminal sees).
  void closeConnection();
  // Closes the accepted connection with a reset instead.
  void resetConnection();
  // Stops listening: later connection attempts are refused.
  void stopListening();

 private:
  int listener_ = -1;
  int connection_ = -1;
  uint16_t port_ = 0;
};

}  // namespace scripted
