#include "telnet.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace demohost {

using namespace telnet;

namespace {

constexpr size_t kMaxSubnegotiation = 256;
// Input the session has not taken yet; a client that floods the host while
// the negotiation is still running loses what goes beyond.
constexpr size_t kMaxEvents = 65536;
constexpr size_t kMaxTerminalType = 40;
// TN3270E messages the session has not taken yet; the negotiation takes one
// at a time, so a client never has a reason to send more.
constexpr size_t kMaxTn3270eMessages = 8;

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TelnetConnection::TelnetConnection(int fd) : fd_(fd) {}

TelnetConnection::~TelnetConnection() {
  if (fd_ >= 0) close(fd_);
}

TelnetConnection::Wait TelnetConnection::pump(int timeoutMs) {
  if (closed_) return Wait::Closed;
  pollfd p{fd_, POLLIN, 0};
  const int ready = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  if (ready < 0) return errno == EINTR ? Wait::Timeout : (closed_ = true, Wait::Closed);
  if (ready == 0) return Wait::Timeout;
  uint8_t buffer[4096];
  const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return Wait::Timeout;
  if (n <= 0) {
    closed_ = true;
    return Wait::Closed;
  }
  for (ssize_t i = 0; i < n && !closed_; ++i) take(buffer[i]);
  return closed_ ? Wait::Closed : Wait::Input;
}

void TelnetConnection::take(uint8_t b) {
  if (firstAnswerSeen_ < 3) {
    const bool fits = firstAnswerSeen_ == 0   ? b == IAC
                      : firstAnswerSeen_ == 1 ? (b == WILL || b == WONT)
                                              : b == firstAnswerOption_;
    if (!fits) {
      spokeFirst_ = true;
      reset();
      return;
    }
    ++firstAnswerSeen_;
  }
  switch (parse_) {
    case Parse::Data:
      if (b == IAC)
        parse_ = Parse::Iac;
      else
        queue(Event{false, b});
      return;
    case Parse::Iac:
      parse_ = Parse::Data;
      if (b == IAC) {
        queue(Event{false, IAC});
      } else if (b >= WILL && b <= DONT) {
        verb_ = b;
        parse_ = Parse::Verb;
      } else if (b == SB) {
        sub_.clear();
        subOverflow_ = false;
        parse_ = Parse::Sub;
      } else if (b != SE) {  // a stray SE is dropped
        queue(Event{true, b});
      }
      return;
    case Parse::Verb:
      parse_ = Parse::Data;
      request(verb_ == DO || verb_ == DONT, verb_ == DO || verb_ == WILL, b);
      return;
    case Parse::Sub:
      if (b == IAC)
        parse_ = Parse::SubIac;
      else if (sub_.size() < kMaxSubnegotiation)
        sub_.push_back(b);
      else
        subOverflow_ = true;
      return;
    case Parse::SubIac:
      if (b == IAC) {
        if (sub_.size() < kMaxSubnegotiation)
          sub_.push_back(IAC);
        else
          subOverflow_ = true;
        parse_ = Parse::Sub;
      } else if (b == SE) {
        parse_ = Parse::Data;
        subnegotiation();
      } else {
        // IAC and a command inside a subnegotiation: the subnegotiation was cut off.
        parse_ = Parse::Iac;
        take(b);
      }
      return;
  }
}

void TelnetConnection::queue(const Event& e) {
  if (events_.size() < kMaxEvents) events_.push_back(e);
}

TelnetConnection::Answer TelnetConnection::policy(bool us, uint8_t option) const {
  if (option == OPT_SGA) return Answer::Accept;
  if (!us && option == OPT_TTYPE) return Answer::Accept;
  if (us && option == OPT_ECHO) {
    if (kind_ == SessionKind::Undecided) return Answer::Later;
    return kind_ == SessionKind::Nvt ? Answer::Accept : Answer::Refuse;
  }
  if (option == OPT_BINARY || option == OPT_EOR) {
    if (kind_ == SessionKind::Undecided) return Answer::Later;
    return kind_ == SessionKind::Tn3270 ? Answer::Accept : Answer::Refuse;
  }
  return Answer::Refuse;  // NAWS, the client echoing, and everything else
}

// One option command from the client. Replies follow the state of the option,
// so an acknowledgement is never answered again, and a refusal is sent only
// once per option: a client that keeps asking gets no further answer, which
// keeps every exchange finite.
void TelnetConnection::request(bool us, bool enable, uint8_t option) {
  Option& o = us ? us_[option] : him_[option];
  const uint8_t yes = us ? WILL : DO;
  const uint8_t no = us ? WONT : DONT;
  if (!enable) {
    if (o.state == State::Yes) {
      o.state = State::No;
      sendCommand(no, option);
    } else if (o.state == State::WantYes) {
      o.state = State::No;
      o.declined = true;
    }
    o.heldBack = false;
    return;
  }
  if (o.state == State::Yes) return;
  if (o.state == State::WantYes) {
    o.state = State::Yes;
    enabled(us, option);
    return;
  }
  switch (policy(us, option)) {
    case Answer::Accept:
      o.state = State::Yes;
      sendCommand(yes, option);
      enabled(us, option);
      break;
    case Answer::Refuse:
      if (!o.refused) {
        o.refused = true;
        sendCommand(no, option);
      }
      break;
    case Answer::Later:
      o.heldBack = true;
      break;
  }
}

void TelnetConnection::enabled(bool us, uint8_t option) {
  if (!us && option == OPT_TTYPE) {
    const uint8_t send[] = {IAC, SB, OPT_TTYPE, TTYPE_SEND, IAC, SE};
    sendRaw(send, sizeof send);
  }
}

void TelnetConnection::subnegotiation() {
  // TN3270E messages count only once the client has agreed to the option; one
  // cut short by the limit is no message at all.
  if (!sub_.empty() && sub_[0] == OPT_TN3270E) {
    if (him_[OPT_TN3270E].state == State::Yes && !subOverflow_ && tn3270eMessages_.size() < kMaxTn3270eMessages)
      tn3270eMessages_.push_back(sub_);
    return;
  }
  if (sub_.size() < 2 || sub_[0] != OPT_TTYPE || sub_[1] != TTYPE_IS) return;
  terminalType_.clear();
  for (size_t i = 2; i < sub_.size() && terminalType_.size() < kMaxTerminalType; ++i)
    if (sub_[i] > 0x20 && sub_[i] < 0x7F) terminalType_.push_back(static_cast<char>(sub_[i]));
  terminalTypeKnown_ = true;
}

// Marks a request of ours as under way; false when the option is already on or asked.
bool TelnetConnection::startAsking(Option& o) {
  if (o.state != State::No) return false;
  o.state = State::WantYes;
  o.declined = false;
  return true;
}

void TelnetConnection::askUs(uint8_t option) {
  if (startAsking(us_[option])) sendCommand(WILL, option);
}

void TelnetConnection::askHim(uint8_t option) {
  if (startAsking(him_[option])) sendCommand(DO, option);
}

void TelnetConnection::askBoth(uint8_t option) {
  uint8_t bytes[6];
  size_t n = 0;
  for (const uint8_t verb : {DO, WILL}) {
    if (!startAsking(verb == DO ? him_[option] : us_[option])) continue;
    bytes[n++] = IAC;
    bytes[n++] = verb;
    bytes[n++] = option;
  }
  if (n > 0) sendRaw(bytes, n);
}

void TelnetConnection::stopHim(uint8_t option) {
  Option& o = him_[option];
  if (o.state != State::Yes) return;
  o.state = State::No;
  o.refused = true;
  sendCommand(DONT, option);
}

void TelnetConnection::requireFirstAnswer(uint8_t option) {
  if (closed_) return;
  // Anything already here was sent before the host said a word.
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, 0) == 1) {
    spokeFirst_ = true;
    reset();
    return;
  }
  firstAnswerOption_ = option;
  firstAnswerSeen_ = 0;
}

void TelnetConnection::reset() {
  if (fd_ >= 0) {
    // A zero linger time makes the close send a reset instead of the orderly end.
    const linger now{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    close(fd_);
    fd_ = -1;
  }
  closed_ = true;
  firstAnswerSeen_ = 3;
}

void TelnetConnection::setKind(SessionKind kind) {
  kind_ = kind;
  for (int option = 0; option < 256; ++option) {
    for (bool us : {true, false}) {
      Option& o = us ? us_[option] : him_[option];
      if (!o.heldBack) continue;
      o.heldBack = false;
      request(us, true, static_cast<uint8_t>(option));
    }
  }
}

bool TelnetConnection::sendRaw(const uint8_t* bytes, size_t length) {
  size_t done = 0;
  while (done < length && !closed_) {
    const ssize_t n = send(fd_, bytes + done, length - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      closed_ = true;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return !closed_;
}

bool TelnetConnection::sendCommand(uint8_t verb, uint8_t option) {
  const uint8_t bytes[] = {IAC, verb, option};
  return sendRaw(bytes, sizeof bytes);
}

bool TelnetConnection::sendData(const std::string& text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size());
  for (char c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    if (bytes.back() == IAC) bytes.push_back(IAC);
  }
  return sendRaw(bytes.data(), bytes.size());
}

bool TelnetConnection::sendSubnegotiation(const std::vector<uint8_t>& body) {
  return sendEnclosed({IAC, SB}, body, SE);
}

bool TelnetConnection::sendRecord(const std::vector<uint8_t>& record) {
  return recordHeaders_ ? sendTypedRecord(0, record) : sendFramed(record);
}

bool TelnetConnection::sendTypedRecord(uint8_t dataType, const std::vector<uint8_t>& record) {
  // Data type, request flag, response flag (no response wanted), sequence number high byte first.
  std::vector<uint8_t> whole{dataType, 0, 0, static_cast<uint8_t>(sequence_ >> 8), static_cast<uint8_t>(sequence_)};
  ++sequence_;
  whole.insert(whole.end(), record.begin(), record.end());
  return sendFramed(whole);
}

bool TelnetConnection::sendFramed(const std::vector<uint8_t>& record) { return sendEnclosed({}, record, EOR); }

bool TelnetConnection::sendEnclosed(std::vector<uint8_t> bytes, const std::vector<uint8_t>& body, uint8_t end) {
  bytes.reserve(bytes.size() + body.size() + 2);
  for (uint8_t b : body) {
    bytes.push_back(b);
    if (b == IAC) bytes.push_back(IAC);
  }
  bytes.push_back(IAC);
  bytes.push_back(end);
  return sendRaw(bytes.data(), bytes.size());
}

void TelnetConnection::finish(int waitMs) {
  if (fd_ < 0) return;
  shutdown(fd_, SHUT_WR);
  const int64_t deadline = nowMs() + waitMs;
  for (;;) {
    const int64_t left = deadline - nowMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    uint8_t buffer[1024];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
  }
  closed_ = true;
  close(fd_);
  fd_ = -1;
}

}  // namespace demohost
