// The host end of the socket benchmarks: a thread on 127.0.0.1 that takes one
// connection, plain or through TLS (OpenSSL's server side), answers the
// terminal's opening negotiation as a Unix host does, and then sends the
// benchmark's input once for every pass the benchmark asks for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class StreamHost {
 public:
  // `certificate` is "" for plain Telnet, else the path of a PEM certificate
  // chain and its key without the extension ("DIR/good": DIR/good.pem and
  // DIR/good.key): the host then speaks TLS.
  explicit StreamHost(const std::string& certificate);
  ~StreamHost();
  StreamHost(const StreamHost&) = delete;
  StreamHost& operator=(const StreamHost&) = delete;

  uint16_t port() const { return port_; }
  // Starts the thread: it takes the next connection, runs the handshake (TLS)
  // and reads the terminal's opening. `input` must outlive the host.
  bool start(const std::vector<unsigned char>* input);
  // True once the host has answered the opening; false (see error()) when it
  // failed. Does not wait.
  bool ready() const;
  bool failed() const;
  std::string error() const;

  // One pass: the whole input, then `tail`, in writes of kWriteSize bytes
  // (one TLS record each).
  void sendPass(const std::string& tail);

  static constexpr size_t kWriteSize = 16384;

 private:
  void run();
  bool handshake();
  bool readOpening();
  bool writeAll(const unsigned char* bytes, size_t size);
  void fail(const std::string& why);

  int listener_ = -1;
  std::atomic<int> connection_{-1};  // set by the thread, shut down by either side
  uint16_t port_ = 0;
  void* context_ = nullptr;  // SSL_CTX, null for plain Telnet
  void* ssl_ = nullptr;      // SSL
  const std::vector<unsigned char>* input_ = nullptr;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::string> passes_;  // the tails of the passes asked for
  bool ready_ = false;
  bool failed_ = false;
  bool stop_ = false;
  std::string error_;
};

}  // namespace bench
