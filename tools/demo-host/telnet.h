// Telnet for one client connection: reads the socket, answers the client's
// option requests, asks for its terminal type, and hands its data and Telnet
// commands to the session as events, and its TN3270E subnegotiations as
// messages. Writes frame data (IAC doubled) and 3270 records (ended by IAC
// EOR; under TN3270E each behind its five-byte header).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace demohost {

namespace telnet {
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250;
constexpr uint8_t GA = 249, EL = 248, EC = 247, AYT = 246, AO = 245, IP = 244, BRK = 243, DM = 242, NOP = 241;
constexpr uint8_t SE = 240, EOR = 239;
constexpr uint8_t OPT_BINARY = 0, OPT_ECHO = 1, OPT_SGA = 3, OPT_TTYPE = 24, OPT_EOR = 25, OPT_NAWS = 31;
constexpr uint8_t OPT_TN3270E = 40;
constexpr uint8_t TTYPE_IS = 0, TTYPE_SEND = 1;
}  // namespace telnet

enum class SessionKind { Undecided, Nvt, Tn3270 };

// One thing the client sent: a data byte, or a Telnet command (EOR, EC, EL, AYT, IP, ...).
struct Event {
  bool command = false;
  uint8_t byte = 0;
};

class TelnetConnection {
 public:
  enum class Wait { Input, Timeout, Closed };

  explicit TelnetConnection(int fd);
  ~TelnetConnection();
  TelnetConnection(const TelnetConnection&) = delete;
  TelnetConnection& operator=(const TelnetConnection&) = delete;

  // Waits up to timeoutMs (negative: without limit) for the client, then
  // handles all it sent. Closed once the client has gone or a write failed.
  Wait pump(int timeoutMs);
  bool closed() const { return closed_; }
  std::deque<Event>& events() { return events_; }

  // Option state: "us" are the options this host performs (WILL/WONT), "him"
  // those the client performs (DO/DONT).
  bool enabledUs(uint8_t option) const { return us_[option].state == State::Yes; }
  bool enabledHim(uint8_t option) const { return him_[option].state == State::Yes; }
  // The client turned down a request of ours.
  bool declinedUs(uint8_t option) const { return us_[option].declined; }
  bool declinedHim(uint8_t option) const { return him_[option].declined; }
  void askUs(uint8_t option);   // IAC WILL, unless already on or asked
  void askHim(uint8_t option);  // IAC DO, unless already on or asked
  // IAC DO and IAC WILL for one option in a single write (each unless already on or asked).
  void askBoth(uint8_t option);
  // Turns off an option the client performs (IAC DONT), when it is on.
  void stopHim(uint8_t option);

  // Strict start, called before the host sends its DO of `option`: the client
  // must not have sent anything yet, and its first bytes must then be its answer
  // (IAC WILL or IAC WONT option). Otherwise it spoke without waiting for the
  // host, and the connection is reset (at once, or when those bytes come).
  void requireFirstAnswer(uint8_t option);
  // True once the connection was reset because the client did not wait.
  bool spokeFirst() const { return spokeFirst_; }
  // Ends the connection with a reset (no orderly close); closed() is true after.
  void reset();

  // Fixes the kind of session, which decides the answers held back until now
  // (echo, binary and end of record depend on it).
  void setKind(SessionKind kind);
  SessionKind kind() const { return kind_; }

  bool terminalTypeKnown() const { return terminalTypeKnown_; }
  const std::string& terminalType() const { return terminalType_; }

  // The client's TN3270E subnegotiations, each body from the option byte on
  // (IAC IAC made single), oldest first; at most a few are kept.
  std::deque<std::vector<uint8_t>>& tn3270eMessages() { return tn3270eMessages_; }
  // IAC SB <body> IAC SE, the body's IACs doubled.
  bool sendSubnegotiation(const std::vector<uint8_t>& body);

  bool sendData(const std::string& text);
  // A 3270 record; once record headers are on, behind a 3270-DATA header.
  bool sendRecord(const std::vector<uint8_t>& record);
  // Under TN3270E: every record from here on carries a header, its sequence
  // number counting up from 0 across all the host's records.
  void useRecordHeaders() { recordHeaders_ = true; }
  bool recordHeaders() const { return recordHeaders_; }
  // A record behind a header of the given data type (record headers on).
  bool sendTypedRecord(uint8_t dataType, const std::vector<uint8_t>& record);
  // Ends the connection the polite way: no more output, then waits (bounded)
  // for the client to close its side so that nothing it still sends resets it.
  void finish(int waitMs);

 private:
  enum class State : uint8_t { No, Yes, WantYes };
  enum class Answer { Accept, Refuse, Later };
  struct Option {
    State state = State::No;
    bool refused = false;   // we said no once; further requests are not answered again
    bool declined = false;  // the client said no to our request
    bool heldBack = false;  // request waiting for the kind of session
  };
  enum class Parse { Data, Iac, Verb, Sub, SubIac };

  void take(uint8_t byte);
  void queue(const Event& e);
  void request(bool us, bool enable, uint8_t option);
  Answer policy(bool us, uint8_t option) const;
  void enabled(bool us, uint8_t option);
  void subnegotiation();
  bool sendRaw(const uint8_t* bytes, size_t length);
  bool sendCommand(uint8_t verb, uint8_t option);
  bool sendFramed(const std::vector<uint8_t>& record);
  // `head`, then `body` with every IAC doubled, then IAC `end`.
  bool sendEnclosed(std::vector<uint8_t> head, const std::vector<uint8_t>& body, uint8_t end);
  bool startAsking(Option& o);

  int fd_;
  bool closed_ = false;
  SessionKind kind_ = SessionKind::Undecided;
  Option us_[256];
  Option him_[256];
  Parse parse_ = Parse::Data;
  uint8_t verb_ = 0;
  std::vector<uint8_t> sub_;
  bool subOverflow_ = false;  // the subnegotiation being read ran past kMaxSubnegotiation
  bool terminalTypeKnown_ = false;
  std::string terminalType_;
  std::deque<Event> events_;
  std::deque<std::vector<uint8_t>> tn3270eMessages_;
  bool recordHeaders_ = false;
  uint16_t sequence_ = 0;
  // Strict start: the option whose answer must come first, and how many of its
  // three bytes have been seen (3: the check is over, or was never asked for).
  uint8_t firstAnswerOption_ = 0;
  int firstAnswerSeen_ = 3;
  bool spokeFirst_ = false;
};

}  // namespace demohost
