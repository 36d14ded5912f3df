// Hosts that misbehave on the wire, for the bad-input tests: one that reads in
// a thread of its own (a byte at a time, if need be) while the terminal's
// window thread is busy sending, and sockets with the smallest buffers the
// system allows. Plain POSIX calls and no program headers, so this can sit
// next to the platform header in a test file. Every wait is bounded.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace badwire {

// Shrinks a socket's send and receive buffers to the least the system allows.
void shrinkBuffers(int fd);

// Reads from `fd` in its own thread, `chunk` bytes per read (1: a host that
// takes one byte at a time), until `expected` bytes have come, the peer has
// closed, or `timeoutMs` has passed.
class Reader {
 public:
  Reader(int fd, std::size_t expected, std::size_t chunk, int timeoutMs = 10000);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Waits for the reader to finish and returns what it read.
  std::vector<uint8_t> bytes();

 private:
  void run(int fd, std::size_t expected, std::size_t chunk, int timeoutMs);
  std::vector<uint8_t> got_;
  std::thread thread_;
};

// Sends the bytes from a thread of its own, for writes larger than the
// socket's buffers while the test thread reads the other end.
class Writer {
 public:
  Writer(int fd, std::vector<uint8_t> bytes);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  // Waits until everything has been written (or the connection failed).
  void finish();
  // True once the writer has stopped.
  bool done() const { return done_; }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace badwire
