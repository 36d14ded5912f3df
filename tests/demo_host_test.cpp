// The demo host program as the terminal meets it: the test starts the real
// quillon-demo-host on a free port and plays the terminal over TCP, answering
// Telnet exactly as the terminal does. It checks the negotiation of both kinds
// of session byte by byte, walks the 3270 application from the logon panel to
// the goodbye screen, runs the line-mode commands, and ends the host with
// SIGTERM. In strict mode the host resets a client that speaks first and
// negotiates step by step with one that waits. Under TN3270E the terminal plays
// a scripted negotiation and every record carries its header; quillon-script
// itself reaches the host that way too.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "demo_host.h"
#include "loopback.h"
#include "tn3270/ebcdic.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWaitMs = 5000;
constexpr uint8_t kWill = 0xFB, kWont = 0xFC, kDo = 0xFD, kDont = 0xFE;
constexpr uint8_t kBinary = 0, kEcho = 1, kSga = 3, kTtype = 24, kEor = 25, kNaws = 31, kTn3270e = 40;
const Bytes kOpening = bytesOf({0xFF, 0xFD, 0x01, 0xFF, 0xFC, 0x01, 0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB,
                                0x1F, 0xFF, 0xFD, 0x1F});

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The terminal's end of one connection. Telnet is answered with the terminal's
// own rules, including its habit of asking again for an option the host turns
// down while it is in 3270 mode; a host that answers every such request would
// never stop, and the transcript would show it. Like the terminal, it sends its
// opening negotiation as soon as it is connected, unless it is told to wait
// for the host (the terminal's passive start).
class Terminal {
 public:
  Terminal(int port, std::string type, std::set<uint8_t> refused = {}, bool speaksFirst = true)
      : type_(std::move(type)), refused_(refused) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) closed = true;
    if (speaksFirst) send(kOpening);
  }
  ~Terminal() { hangUp(); }
  void hangUp() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  void send(const Bytes& bytes) {
    // A reset may show here first (an answer to something read before it).
    if (!bytes.empty() && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0 && errno == ECONNRESET)
      reset = true;
  }
  void type(const std::string& s) { send(Bytes(s.begin(), s.end())); }

  // Reads and handles what the host sends until `done` holds (true) or the time is up.
  bool readUntil(const std::function<bool()>& done, int ms = kWaitMs) {
    const int64_t deadline = nowMs() + ms;
    while (!done()) {
      const int64_t left = deadline - nowMs();
      if (left <= 0 || closed) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      uint8_t buffer[8192];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed = true;
        if (n < 0 && errno == ECONNRESET) reset = true;
        continue;
      }
      reads.push_back(hex(Bytes(buffer, buffer + n)));
      for (ssize_t i = 0; i < n; ++i) take(buffer[i]);
    }
    return true;
  }
  bool waitRecords(size_t count) {
    return readUntil([&] { return records.size() >= count; });
  }
  bool waitText(const std::string& s) {
    return readUntil([&] { return text.find(s) != std::string::npos; });
  }
  bool waitClosed() {
    return readUntil([&] { return closed; });
  }
  bool in3270() const { return mode == 15; }
  // Waits, without reading, until the host has sent something.
  bool waitReadable() {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, kWaitMs) == 1;
  }

  // TN3270E: taken when the host offers it and this holds answers; each of
  // the host's TN3270E subnegotiations is answered with the next (wire bytes:
  // IAC WONT TN3270E among them gives it up). Records then carry headers.
  std::deque<Bytes> tn3270eAnswers;
  bool tn3270e = false;

  Bytes commands;  // every Telnet command from the host, in order
  std::vector<std::string> reads;  // each read from the socket, as hex
  bool reset = false;  // the host reset the connection
  std::string text;
  std::vector<Bytes> records;
  bool closed = false;
  int mode = 0;

 private:
  void reply(uint8_t verb, uint8_t option) { send({0xFF, verb, option}); }

  // The terminal's answers to the host's option commands.
  void command(uint8_t verb, uint8_t option) {
    commands.insert(commands.end(), {0xFF, verb, option});
    if (option == kTn3270e && verb == kDo && !tn3270eAnswers.empty()) {
      tn3270e = true;
      return reply(kWill, option);
    }
    if (option == kTn3270e && verb == kDont) tn3270e = false;
    const int bit = option == kBinary ? 1 : option == kEor ? 4 : 0;
    // In 3270 mode a refusal is met with the request again, up to 30 times.
    if (in3270() && (verb == kDont || verb == kWont) && retries_ < 30) {
      ++retries_;
      return reply(verb == kDont ? kWill : kDo, option);
    }
    const bool known = option == kBinary || option == kEcho || option == kSga || option == kTtype ||
                       option == kEor || option == kNaws;
    const bool refused = refused_.count(option) != 0;
    switch (verb) {
      case kDo:
        if (option == kEcho) return reply(in3270() ? kWill : kWont, option);
        if (!known || refused) return reply(kWont, option);
        mode |= option == kTtype ? 2 : bit;
        return reply(kWill, option);
      case kWill:
        if (refused) return reply(kDont, option);
        if (!known) return;
        mode |= bit;
        return reply(kDo, option);
      case kDont:
        mode &= ~bit;
        return reply(kWont, option);
      case kWont:
        mode &= ~bit;
        return reply(option == kEcho && !in3270() ? kDo : kDont, option);
    }
  }

  void subnegotiation() {
    commands.insert(commands.end(), {0xFF, 0xFA});
    commands.insert(commands.end(), sub_.begin(), sub_.end());
    commands.insert(commands.end(), {0xFF, 0xF0});
    if (!sub_.empty() && sub_[0] == kTn3270e && !tn3270eAnswers.empty()) {
      const Bytes answer = tn3270eAnswers.front();
      tn3270eAnswers.pop_front();
      if (answer == Bytes{0xFF, kWont, kTn3270e}) tn3270e = false;
      return send(answer);
    }
    if (sub_ != Bytes{kTtype, 1}) return;  // SEND
    mode = (mode | 2) & ~8;
    // A 3270 display type, in any case: 3270 mode once BINARY and END-OF-RECORD are on.
    std::string upper = type_;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (upper.rfind("IBM-327", 0) == 0) mode |= 8;
    Bytes is{0xFF, 0xFA, kTtype, 0};
    is.insert(is.end(), type_.begin(), type_.end());
    is.insert(is.end(), {0xFF, 0xF0});
    send(is);
  }

  void take(uint8_t b) {
    switch (state_) {
      case 0:
        if (b == 0xFF) {
          state_ = 1;
        } else if (in3270() || tn3270e) {
          record_.push_back(b);
        } else {
          text.push_back(static_cast<char>(b));
        }
        return;
      case 1:
        state_ = 0;
        if (b == 0xFF) {
          if (in3270() || tn3270e)
            record_.push_back(b);
          else
            text.push_back('\xFF');
        } else if (b == 0xEF) {
          records.push_back(record_);
          record_.clear();
        } else if (b >= kWill && b <= kDont) {
          verb_ = b;
          state_ = 2;
        } else if (b == 0xFA) {
          sub_.clear();
          state_ = 3;
        } else {
          commands.insert(commands.end(), {0xFF, b});
        }
        return;
      case 2:
        state_ = 0;
        return command(verb_, b);
      case 3:
        if (b == 0xFF) state_ = 4; else sub_.push_back(b);
        return;
      case 4:
        state_ = 0;
        if (b == 0xF0) subnegotiation();
        return;
    }
  }

  int fd_ = -1;
  std::string type_;
  std::set<uint8_t> refused_;
  int state_ = 0;
  uint8_t verb_ = 0;
  Bytes sub_;
  Bytes record_;
  int retries_ = 0;
};

// --- 3270 screens, decoded the way a 3270 display does it -----------------

constexpr int kSize = 1920;

// The terminal's own tables read what the host writes and encode what it sends.
char fromEbcdic(uint8_t e) { return static_cast<char>(ebcdicToAsciiTable[e] & 0x7F); }
Bytes ebcdic(const std::string& s) {
  Bytes out;
  for (char c : s) out.push_back(asciiToEbcdicTable[c & 0x7F]);
  return out;
}
Bytes address12(int a) { return {addressCodeTable[(a >> 6) & 0x3F], addressCodeTable[a & 0x3F]}; }
Bytes address14(int a) { return {static_cast<uint8_t>((a >> 8) & 0x3F), static_cast<uint8_t>(a & 0xFF)}; }
int decode(uint8_t a, uint8_t b) { return (a & 0xC0) == 0 ? ((a & 0x3F) << 8) | b : ((a & 0x3F) << 6) | (b & 0x3F); }

struct Screen {
  Screen() = default;
  // A screen of another size: the alternate screen of an extended terminal.
  Screen(int rows, int width) : columns(width), size(rows * width), cells(size, ' ') {}

  int columns = 80;
  int size = kSize;
  std::string cells = std::string(kSize, ' ');
  std::map<int, uint8_t> fields;  // start-field position -> attribute
  int cursor = -1;
  // Extended orders: Start Field Extended and Set Attribute counted, the colours and highlights they set.
  int extendedFields = 0;
  int setAttributes = 0;
  std::set<uint8_t> colours;
  std::set<uint8_t> highlights;

  void apply(const Bytes& r) {
    ASSERT_GE(r.size(), 2u);
    if (r[0] == 0xF5 || r[0] == 0x05 || r[0] == 0x7E || r[0] == 0x0D) {
      cells.assign(size, ' ');
      fields.clear();
    }
    int ba = 0;
    const auto attribute = [&](uint8_t type, uint8_t value) {
      if (type == 0x42 && value != 0) colours.insert(value);
      if (type == 0x41 && value != 0) highlights.insert(value);
    };
    for (size_t i = 2; i < r.size();) {
      const uint8_t b = r[i];
      if ((b == 0x11 || b == 0x3C) && i + 2 < r.size()) {
        const int stop = decode(r[i + 1], r[i + 2]);
        ASSERT_LT(stop, size);
        if (b == 0x3C) {
          ASSERT_LT(i + 3, r.size());
          for (; ba != stop; ba = (ba + 1) % size) cells[ba] = fromEbcdic(r[i + 3]);
          ++i;
        }
        ba = stop;
        i += 3;
      } else if (b == 0x1D && i + 1 < r.size()) {
        fields[ba] = r[i + 1];
        cells[ba] = ' ';
        ba = (ba + 1) % size;
        i += 2;
      } else if (b == 0x29 && i + 1 < r.size()) {
        const size_t pairs = r[i + 1];
        ASSERT_LE(i + 2 + 2 * pairs, r.size());
        ++extendedFields;
        fields[ba] = 0;
        for (size_t p = 0; p < pairs; ++p) {
          const uint8_t type = r[i + 2 + 2 * p], value = r[i + 3 + 2 * p];
          if (type == 0xC0) fields[ba] = value;
          attribute(type, value);
        }
        cells[ba] = ' ';
        ba = (ba + 1) % size;
        i += 2 + 2 * pairs;
      } else if (b == 0x28 && i + 2 < r.size()) {
        ++setAttributes;
        attribute(r[i + 1], r[i + 2]);
        i += 3;
      } else if (b == 0x13) {
        cursor = ba;
        ++i;
      } else {
        cells[ba] = fromEbcdic(b);
        ba = (ba + 1) % size;
        ++i;
      }
    }
  }
  std::string row(int r) const { return cells.substr(r * columns, columns); }
  std::string message() const { return row(22); }
  // Unprotected fields: the address of the first character and the attribute.
  std::vector<std::pair<int, uint8_t>> inputs() const {
    std::vector<std::pair<int, uint8_t>> out;
    for (const auto& [at, attribute] : fields)
      if ((attribute & 0x20) == 0) out.push_back({(at + 1) % size, attribute});
    return out;
  }
};

// Records the terminal sends.
Bytes attention(uint8_t aid, const Screen& s) {
  Bytes r{aid};
  const Bytes at = address12(s.cursor < 0 ? 0 : s.cursor);
  r.insert(r.end(), at.begin(), at.end());
  return r;
}
Bytes withField(Bytes r, int address, const std::string& text, bool form14 = false) {
  r.push_back(0x11);
  const Bytes at = form14 ? address14(address) : address12(address);
  r.insert(r.end(), at.begin(), at.end());
  const Bytes data = ebcdic(text);
  r.insert(r.end(), data.begin(), data.end());
  return r;
}
Bytes framed(Bytes r) {
  r.insert(r.end(), {0xFF, 0xEF});
  return r;
}

// --- Tests --------------------------------------------------------------------

TEST(DemoHostTest, NegotiatesEachKindOfSessionByTerminalType) {
  struct Case {
    const char* type;
    std::set<uint8_t> refused;
    bool tn3270;
    const char* transcript;
    const char* firstText;  // line mode: expected in the greeting
  };
  // TN3270E offered first and refused; the host answers the terminal's opening before it goes on.
  const char* const common = "FF FD 28 FF FD 03 FF FB 03 FF FE 1F FF FC 1F FF FD 18 FF FA 18 01 FF F0 ";
  const Case cases[] = {
      {"IBM-3278-2", {}, true, "FF FC 01 FF FD 19 FF FB 19 FF FD 00 FF FB 00", nullptr},
      {"VT100", {}, false, "FF FB 01", "terminal type VT100"},
      {"XTERM", {}, false, "FF FB 01", "terminal type XTERM"},
      // A 3270 client that cannot do binary gets a line-mode session, and is told why.
      {"IBM-3278-2", {kBinary}, false, "FF FC 01 FF FD 19 FF FB 19 FF FD 00 FF FB 00 FF FB 01", "needs BINARY"},
  };
  DemoHost host;
  ASSERT_GT(host.port(), 0) << host.firstLine();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + (c.refused.empty() ? "" : " refusing BINARY"));
    Terminal t(host.port(), c.type, c.refused);
    if (c.tn3270) {
      ASSERT_TRUE(t.waitRecords(1));
      EXPECT_TRUE(t.in3270());
    } else {
      ASSERT_TRUE(t.waitText("demo> "));
      EXPECT_NE(t.text.find(c.firstText), std::string::npos) << t.text;
    }
    // Every answer of the terminal has been seen by now; the host must not reply to any of them.
    t.readUntil([] { return false; }, 200);
    EXPECT_EQ(hex(t.commands), std::string(common) + c.transcript);
  }
}

TEST(DemoHostTest, LogonPanelHasTheFieldsAUserNeeds) {
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal t(host.port(), "IBM-3278-2");
  ASSERT_TRUE(t.waitRecords(1));
  const Bytes& r = t.records[0];
  EXPECT_EQ(r[0], 0xF5) << "a new panel is an Erase/Write";
  Screen s;
  s.apply(r);
  EXPECT_NE(s.row(0).find("LOGON"), std::string::npos) << s.row(0);
  ASSERT_EQ(s.fields.count(0), 1u);
  EXPECT_EQ(s.fields.at(0) & 0x2C, 0x28) << "title protected and intensified";
  const auto inputs = s.inputs();
  ASSERT_EQ(inputs.size(), 3u);
  EXPECT_EQ(inputs[0].second & 0x1C, 0x00) << "user id: plain input";
  EXPECT_EQ(inputs[1].second & 0x0C, 0x0C) << "password: non-display";
  EXPECT_EQ(inputs[2].second & 0x10, 0x10) << "account: numeric";
  EXPECT_EQ(s.cursor, inputs[0].first) << "cursor in the user id field";
  const std::string labels[] = {"USERID", "PASSWORD", "ACCOUNT"};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_NE(s.row(inputs[i].first / 80).find(labels[i]), std::string::npos) << s.row(inputs[i].first / 80);
}

TEST(DemoHostTest, WholeSessionFromLogonToGoodbye) {
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal t(host.port(), "IBM-3278-2");
  ASSERT_TRUE(t.waitRecords(1));
  Screen s;
  s.apply(t.records[0]);
  const auto logon = s.inputs();
  ASSERT_EQ(logon.size(), 3u);
  const int user = logon[0].first, password = logon[1].first, account = logon[2].first;
  const auto input = [&](size_t i) { return s.inputs().at(i).first; };

  struct Step {
    const char* what;
    std::function<Bytes()> record;
    const char* title;    // in row 0
    int row;              // a row to look at (-1: none)
    const char* rowText;  // expected in that row
    const char* message;  // expected in the message line ("" = blank)
  };
  const Step steps[] = {
      {"Enter, nothing typed", [&] { return attention(0x7D, s); }, "LOGON", -1, "", "USERID REQUIRED"},
      {"account with a letter",
       [&] { return withField(withField(attention(0x7D, s), user, "alice"), account, "12A4"); }, "LOGON", -1, "",
       "ACCOUNT MUST BE NUMERIC"},
      {"valid logon, user id in the 14-bit address form",
       [&] {
         return withField(withField(withField(attention(0x7D, s), user, "alice", true), password, "secret"), account,
                          "1234");
       },
       "MAIN MENU", 0, "USER ALICE", "ALICE"},
      {"unknown option", [&] { return withField(attention(0x7D, s), input(0), "7"); }, "MAIN MENU", -1, "",
       "INVALID OPTION"},
      {"option 1", [&] { return withField(attention(0x7D, s), input(0), "1"); }, "BROWSE", 4, " 0001", ""},
      {"PF7 at the top", [&] { return attention(0xF7, s); }, "BROWSE", 4, " 0001", "TOP OF LIST"},
      {"PF8", [&] { return attention(0xF8, s); }, "BROWSE", 4, " 0018", ""},
      {"PF8", [&] { return attention(0xF8, s); }, "BROWSE", 4, " 0035", ""},
      {"PF8 to the end", [&] { return attention(0xF8, s); }, "BROWSE", 20, " 0060", "BOTTOM OF LIST"},
      {"PF8 at the end", [&] { return attention(0xF8, s); }, "BROWSE", 20, " 0060", "BOTTOM OF LIST"},
      {"PF7", [&] { return attention(0xF7, s); }, "BROWSE", 4, " 0027", ""},
      {"command TOP", [&] { return withField(attention(0x7D, s), input(0), "top"); }, "BROWSE", 4, " 0001",
       "TOP OF LIST"},
      {"Clear redraws", [&] { return Bytes{0x6D}; }, "BROWSE", 4, " 0001", ""},
      {"PA1", [&] { return Bytes{0x6C}; }, "BROWSE", -1, "", "PA1"},
      {"PF12", [&] { return attention(0x7C, s); }, "BROWSE", -1, "", "KEY NOT SUPPORTED"},
      {"PA2", [&] { return Bytes{0x6E}; }, "BROWSE", -1, "", "KEY NOT SUPPORTED"},
      {"PF3 back", [&] { return attention(0xF3, s); }, "MAIN MENU", -1, "", ""},
      {"option 2", [&] { return withField(attention(0x7D, s), input(0), "2"); }, "SESSION STATUS", 5, "IBM-3278-2",
       ""},
      {"PF3 back", [&] { return attention(0xF3, s); }, "MAIN MENU", -1, "", ""},
      {"PF3 logs off", [&] { return attention(0xF3, s); }, "DEMO HOST", 6, "GOODBYE", ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const size_t before = t.records.size();
    t.send(framed(step.record()));
    ASSERT_TRUE(t.waitRecords(before + 1));
    ASSERT_EQ(t.records.size(), before + 1) << "one record per key";
    const Bytes& r = t.records.back();
    if (r[0] != 0xF5) {
      // A message: a Write that leaves the fields, and what was typed in them, alone.
      EXPECT_EQ(hex(Bytes(r.begin(), r.begin() + 2)), "01 C2");
    }
    s.apply(r);
    EXPECT_NE(s.row(0).find(step.title), std::string::npos) << s.row(0);
    if (step.row >= 0) {
      EXPECT_NE(s.row(step.row).find(step.rowText), std::string::npos) << s.row(step.row);
    }
    if (*step.message == '\0') {
      EXPECT_EQ(s.message().find_first_not_of(' '), std::string::npos) << s.message();
    } else {
      EXPECT_NE(s.message().find(step.message), std::string::npos) << s.message();
    }
  }
  EXPECT_TRUE(t.waitClosed()) << "the host closes after the goodbye";
}

TEST(DemoHostTest, RecordSplitAcrossWritesAndOversizedRecordAreHandled) {
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal t(host.port(), "IBM-3278-2");
  ASSERT_TRUE(t.waitRecords(1));
  Screen s;
  s.apply(t.records[0]);
  // A record far longer than any panel is dropped whole; the session goes on.
  t.send(framed(withField(attention(0x7D, s), s.inputs()[0].first, std::string(10000, 'A'))));
  // An Enter cut into single bytes, the end of record split too.
  const Bytes enter = framed(attention(0x7D, s));
  for (uint8_t b : enter) t.send({b});
  ASSERT_TRUE(t.waitRecords(2));
  t.readUntil([] { return false; }, 200);
  ASSERT_EQ(t.records.size(), 2u);
  s.apply(t.records[1]);
  EXPECT_NE(s.message().find("USERID REQUIRED"), std::string::npos) << s.message();
}

// ---- extended terminals: the Query Reply and the alternate screen ------------

// The terminal's Query Reply: the AID of a structured field, then the replies.
Bytes queryReply(const std::vector<Bytes>& replies) {
  Bytes r{0x88};
  for (const Bytes& reply : replies) r.insert(r.end(), reply.begin(), reply.end());
  return r;
}
// Usable Area: 12/14-bit addressing, sizes in cells; width and height, then
// units, pel distances, cell size and buffer size, as a display sends them.
Bytes usableArea(int columns, int rows) {
  const int buffer = columns * rows;
  return {0x00, 0x17, 0x81, 0x81, 0x01, 0x00, static_cast<uint8_t>(columns >> 8), static_cast<uint8_t>(columns),
          static_cast<uint8_t>(rows >> 8), static_cast<uint8_t>(rows), 0x01, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00,
          0x00, 0x0A, 0x09, 0x0E, static_cast<uint8_t>(buffer >> 8), static_cast<uint8_t>(buffer)};
}
// Color: its pairs of colour attribute value and colour shown, the default's first.
Bytes colourReply(const Bytes& pairs) {
  Bytes r{0x00, static_cast<uint8_t>(6 + pairs.size()), 0x81, 0x86, 0x00, static_cast<uint8_t>(pairs.size() / 2)};
  r.insert(r.end(), pairs.begin(), pairs.end());
  return r;
}
const Bytes kHighlightReply = bytesOf({0x00, 0x0D, 0x81, 0x87, 0x04, 0x00, 0xF0, 0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4});
const Bytes kEightColours = bytesOf({0x00, 0xF4, 0xF1, 0xF1, 0xF2, 0xF2, 0xF3, 0xF3, 0xF4, 0xF4, 0xF5, 0xF5, 0xF6, 0xF6,
                                     0xF7, 0xF7});
const char kQuery[] = "F3 00 05 01 FF 02";

// The terminal's Enter with text in one field; each address in the form its value needs.
Bytes enterWith(int cursor, int field, const std::string& text) {
  Bytes r{0x7D};
  const Bytes at = cursor >= 4096 ? address14(cursor) : address12(cursor);
  r.insert(r.end(), at.begin(), at.end());
  return withField(r, field, text, field >= 4096);
}

TEST(DemoHostTest, ExtendedTerminalGetsTheMenuOnItsAlternateScreen) {
  struct Case {
    const char* what;
    const char* type;
    int columns, rows;
    std::vector<Bytes> replies;  // after the Usable Area
    bool colour;
  };
  const Case cases[] = {
      {"model 4, eight colours", "IBM-3279-4-E", 80, 43, {colourReply(kEightColours), kHighlightReply}, true},
      {"model 5, type in lower case", "ibm-3279-5-e", 132, 27, {colourReply(kEightColours)}, true},
      {"model 2, the default colour only", "IBM-3278-2-E", 80, 24, {colourReply({0x00, 0xF4})}, false},
      {"more pairs counted than sent, then a field running past the end", "IBM-3279-4-E", 80, 43,
       {bytesOf({0x00, 0x08, 0x81, 0x86, 0x00, 0xFF, 0x00, 0xF4}), bytesOf({0xFF, 0xFF, 0x81, 0x86})}, false},
      {"beyond 12-bit addresses", "IBM-3279-5-E", 160, 62, {colourReply(kEightColours)}, true},
  };
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Terminal t(host.port(), c.type);
    ASSERT_TRUE(t.waitRecords(1));
    EXPECT_EQ(hex(t.records[0]), kQuery);
    std::vector<Bytes> replies{usableArea(c.columns, c.rows)};
    replies.insert(replies.end(), c.replies.begin(), c.replies.end());
    t.send(framed(queryReply(replies)));

    ASSERT_TRUE(t.waitRecords(2));
    ASSERT_FALSE(t.records[1].empty());
    EXPECT_EQ(t.records[1][0], 0x7E) << "the logon panel is an Erase/Write Alternate";
    Screen logon(c.rows, c.columns);
    logon.apply(t.records[1]);
    const auto inputs = logon.inputs();
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(logon.cursor, inputs[0].first);
    t.send(framed(enterWith(logon.cursor, inputs[0].first, "alice")));

    ASSERT_TRUE(t.waitRecords(3));
    const Bytes& menu = t.records[2];
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu[0], 0x7E);
    Screen s(c.rows, c.columns);
    s.apply(menu);  // every address within the alternate screen
    EXPECT_NE(s.row(0).find("MAIN MENU"), std::string::npos) << s.row(0);
    EXPECT_NE(s.row(c.rows - 2).find("WELCOME, ALICE"), std::string::npos) << s.row(c.rows - 2);
    EXPECT_NE(s.row(c.rows - 1).find("PF3=Logoff"), std::string::npos) << s.row(c.rows - 1);
    // The body is centred: the option lines start as far from the left edge as they end from the right.
    const int browse = static_cast<int>(s.cells.find("1  BROWSE"));
    ASSERT_GE(browse, 0);
    EXPECT_EQ(browse / c.columns, 5 + (c.rows - 24) / 2);
    EXPECT_EQ(browse % c.columns, 4 + (c.columns - 80) / 2);
    EXPECT_GT(s.extendedFields, 5);
    EXPECT_GT(s.setAttributes, 0);
    EXPECT_EQ(s.highlights.count(0xF2), 1u) << "option numbers reversed";
    EXPECT_EQ(s.highlights.count(0xF4), 1u) << "input fields underscored";
    if (c.colour) {
      EXPECT_GE(s.colours.size(), 4u);
    } else {
      EXPECT_TRUE(s.colours.empty()) << "no colour for a terminal that shows none";
    }
    // The option field works at its place on this screen.
    const auto options = s.inputs();
    ASSERT_EQ(options.size(), 1u);
    t.send(framed(enterWith(options[0].first, options[0].first, "2")));
    ASSERT_TRUE(t.waitRecords(4));
    Screen status(c.rows, c.columns);
    status.apply(t.records[3]);
    EXPECT_NE(status.row(0).find("SESSION STATUS"), std::string::npos) << status.row(0);
  }
}

TEST(DemoHostTest, ExtendedTerminalWithoutAUsableQueryReplyGetsTheModel2Panels) {
  struct Case {
    const char* what;
    bool answers;
    Bytes reply;
  };
  const Case cases[] = {
      {"an attention instead", true, bytesOf({0x7D, 0x40, 0x40})},
      {"a reply without fields", true, bytesOf({0x88})},
      {"a Usable Area cut short", true, bytesOf({0x88, 0x00, 0x17, 0x81, 0x81, 0x01, 0x00, 0x00, 0x50})},
      {"a Usable Area smaller than 24x80", true, queryReply({usableArea(40, 12), colourReply(kEightColours)})},
      {"no answer", false, {}},
  };
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal model2(host.port(), "IBM-3278-2");
  ASSERT_TRUE(model2.waitRecords(1));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Terminal t(host.port(), "IBM-3279-4-E");
    ASSERT_TRUE(t.waitRecords(1));
    EXPECT_EQ(hex(t.records[0]), kQuery);
    if (c.answers) t.send(framed(c.reply));
    ASSERT_TRUE(t.waitRecords(2));
    EXPECT_EQ(hex(t.records[1]), hex(model2.records[0]));
    t.readUntil([] { return false; }, 200);
    EXPECT_EQ(t.records.size(), 2u) << "what came instead of the reply is no key";
  }
}

TEST(DemoHostTest, LineModeCommands) {
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal t(host.port(), "VT100");
  ASSERT_TRUE(t.waitText("demo> "));
  struct Step {
    const char* what;
    std::string typed;
    std::vector<std::string> expected;
  };
  const Step steps[] = {
      {"help, echoed, ended by CR alone", "help\r", {"help\r\n", "colors", "box", "region", "list", "exit"}},
      {"CR LF", "echo hello world\r\n", {"echo hello world\r\nhello world\r\n"}},
      {"CR, its NUL in the next write", "echo one\r", {"one\r\n"}},
      {"LF alone", std::string("\0echo two\n", 10), {"two\r\n"}},
      {"DEL and Backspace erase", "ecXY\x7f\bho three\r", {"\b \b\b \b", "three\r\n"}},
      {"keys' escape sequences are not part of the line", "\x1b[Aecho four\x1bOP\r", {"four\r\n"}},
      {"box", "box\r", {"\x1b(0lqq", "qqk\x1b(B", "\x1b(0mqq"}},
      {"colors", "colors\r", {"\x1b[0;1mbold", "\x1b[0;31mred", "\x1b[0;7mreverse"}},
      {"cursor", "cursor\r", {"\x1b[3;20H", "\x1b[1B", "\x1b[1A", "\x1b[3C", "\x1b" "7", "\x1b" "8"}},
      {"region", "region\r", {"\x1b[5;14r", "\x1bM", "\x1b[r"}},
      {"insert", "insert\r", {"\x1b[4h123\x1b[4l", "\x1b[2L"}},
      {"delete", "delete\r", {"\x1b[3P", "\x1b[2M"}},
      {"unknown command", "frobnicate\r", {"\"frobnicate\": unknown command"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    t.text.clear();
    t.type(step.typed);
    ASSERT_TRUE(t.readUntil([&] { return t.text.size() >= 6 && t.text.compare(t.text.size() - 6, 6, "demo> ") == 0; }))
        << t.text;
    for (const std::string& e : step.expected) EXPECT_NE(t.text.find(e), std::string::npos) << e;
    EXPECT_EQ(t.text.find("demo> "), t.text.size() - 6) << "exactly one prompt: " << t.text;
  }

  t.text.clear();
  t.type("list\r");
  ASSERT_TRUE(t.waitText("demo> "));
  int lines = 0;
  for (size_t at = 0; (at = t.text.find(" of 200", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 200);
  EXPECT_NE(t.text.find("line 200 of 200"), std::string::npos);

  t.text.clear();
  t.type("report\r");
  ASSERT_TRUE(t.waitText("\x1b[6n"));
  EXPECT_NE(t.text.find("\x1b[c"), std::string::npos);
  t.type("\x1b[?1;2c\x1b[0n\x1b[3;10R");  // the terminal's replies
  ASSERT_TRUE(t.waitText("demo> "));
  EXPECT_NE(t.text.find("?1;2"), std::string::npos) << t.text;
  EXPECT_NE(t.text.find("row 3, column 10"), std::string::npos) << t.text;

  t.text.clear();
  t.type("exit\r");
  EXPECT_TRUE(t.waitClosed());
  EXPECT_NE(t.text.find("Goodbye"), std::string::npos);
}

TEST(DemoHostTest, LongLineIsRefusedWithTheBell) {
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal t(host.port(), "VT100");
  ASSERT_TRUE(t.waitText("demo> "));
  t.text.clear();
  t.type("echo " + std::string(100, 'x') + "\r");
  ASSERT_TRUE(t.waitText("demo> "));
  // The echo keeps prompt and line within one 80-column row; the rest rings the bell.
  const size_t end = t.text.find("\r\n");
  ASSERT_NE(end, std::string::npos);
  const std::string echoed = t.text.substr(0, end);
  EXPECT_EQ(echoed.find('\a'), 72u) << "prompt and line fit in one row";
}

TEST(DemoHostTest, ServesClientsTogetherReapsThemAndEndsOnSigterm) {
  DemoHost host;
  ASSERT_GT(host.port(), 0);
  Terminal a(host.port(), "IBM-3278-2");
  Terminal b(host.port(), "VT100");
  ASSERT_TRUE(a.waitRecords(1));
  ASSERT_TRUE(b.waitText("demo> "));

  // A finished session leaves no process behind, not even a zombie.
  Terminal c(host.port(), "VT100");
  ASSERT_TRUE(c.waitText("demo> "));
  c.type("exit\r");
  ASSERT_TRUE(c.waitClosed());
  c.hangUp();
  std::string states;
  if (host.children(states)) {
    const int64_t deadline = nowMs() + kWaitMs;
    while (host.children(states) && states.size() != 2 && nowMs() < deadline) usleep(10000);
    EXPECT_EQ(states.size(), 2u) << states;
    EXPECT_EQ(states.find('Z'), std::string::npos) << states;
  }

  // SIGTERM ends the host and the sessions still open.
  EXPECT_EQ(host.stop(), 0);
  EXPECT_TRUE(a.waitClosed());
  EXPECT_TRUE(b.waitClosed());
}

// ---- TN3270E -----------------------------------------------------------------

// The terminal's TN3270E subnegotiations: IAC SB TN3270E <body> IAC SE.
Bytes tn3270eSub(Bytes body) {
  body.insert(body.begin(), {0xFF, 0xFA, kTn3270e});
  body.insert(body.end(), {0xFF, 0xF0});
  return body;
}
Bytes deviceTypeRequest(const std::string& type, const std::string& lu = "") {
  Bytes body{2, 7};  // DEVICE-TYPE REQUEST
  body.insert(body.end(), type.begin(), type.end());
  if (!lu.empty()) {
    body.push_back(1);  // CONNECT
    body.insert(body.end(), lu.begin(), lu.end());
  }
  return tn3270eSub(body);
}
Bytes functions(uint8_t verb, const Bytes& list) {
  Bytes body{3, verb};
  body.insert(body.end(), list.begin(), list.end());
  return tn3270eSub(body);
}
constexpr uint8_t kIs = 4, kRequest = 7;
std::string hexText(const std::string& s) { return hex(Bytes(s.begin(), s.end())); }
// The host's answers to the terminal's opening, after its offer of TN3270E.
const std::string kOffered = "FF FD 28 FF FD 03 FF FB 03 FF FE 1F FF FC 1F ";
const std::string kSendDeviceType = "FF FA 28 08 02 FF F0 ";
std::string deviceTypeIs(const std::string& type, const std::string& lu) {
  return "FF FA 28 02 04 " + hexText(type) + " 01 " + hexText(lu) + " FF F0 ";
}

// A TN3270E session from the offer to the logon panel and the first key, for
// each way the negotiation may go. Every record of an agreed session has its
// header, the sequence number counting the host's records from the BIND on; a
// response record from the terminal is no key.
TEST(DemoHostTest, Tn3270eSessionFromTheNegotiationToTheFirstKey) {
  struct Case {
    const char* what;
    std::vector<Bytes> answers;  // the terminal's, one per TN3270E subnegotiation of the host
    std::string transcript;      // the host's commands after kOffered
    const char* bind;            // BIND bytes 20..24 (default and alternate size), "" for no BIND
    bool headers;
    int rows;  // of the Usable Area answering the host's query; 0: no query
  };
  const Case cases[] = {
      {"model 4 extended, all functions, an LU made for it",
       {deviceTypeRequest("IBM-3278-4-E"), functions(kRequest, {0, 2, 4})},
       kSendDeviceType + deviceTypeIs("IBM-3278-4-E", "QLU00001") + "FF FA 28 03 04 00 02 04 FF F0 FF FC 01",
       "18 50 2B 50 7F", true, 43},
      {"the LU asked for; functions the host lacks are left out and the terminal confirms the rest",
       {deviceTypeRequest("IBM-3278-2", "lu2demo"), functions(kRequest, {1, 2, 3}), functions(kIs, {2})},
       kSendDeviceType + deviceTypeIs("IBM-3278-2", "LU2DEMO") + "FF FA 28 03 07 02 FF F0 FF FC 01", "", true, 0},
      {"a printer's device type is rejected; the terminal gives TN3270E up and gets TN3270",
       {deviceTypeRequest("IBM-3287-1"), {0xFF, kWont, kTn3270e}},
       kSendDeviceType +
           "FF FA 28 02 06 05 04 FF F0 FF FE 28 FF FD 18 FF FA 18 01 FF F0 FF FC 01 FF FD 19 FF FB 19 FF FD 00 FF FB 00",
       "", false, 0},
      {"an LU name that cannot be one is replaced; BIND-IMAGE alone, type in lower case",
       {deviceTypeRequest("ibm-3279-2-e", "1LU"), functions(kRequest, {0})},
       kSendDeviceType + deviceTypeIs("ibm-3279-2-e", "QLU00004") + "FF FA 28 03 04 00 FF F0 FF FC 01",
       "18 50 18 50 7F", true, 24},
  };
  DemoHost host;
  ASSERT_GT(host.port(), 0) << host.firstLine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Terminal t(host.port(), "IBM-3278-2");
    t.tn3270eAnswers.assign(c.answers.begin(), c.answers.end());
    // Record i without its header, which is checked.
    const auto body = [&](size_t i) {
      const Bytes& r = t.records.at(i);
      if (!c.headers) return r;
      const uint8_t type = i == 0 && *c.bind ? 3 : 0;
      EXPECT_EQ(hex(Bytes(r.begin(), r.begin() + std::min<size_t>(5, r.size()))),
                hex({type, 0, 0, 0, static_cast<uint8_t>(i)}));
      return Bytes(r.begin() + std::min<size_t>(5, r.size()), r.end());
    };
    const auto send = [&](uint8_t type, const Bytes& r) {
      Bytes record = r;
      if (c.headers) record.insert(record.begin(), {type, 0, 0, 0, 0});
      t.send(framed(record));
    };
    size_t first = 0;
    if (*c.bind) {
      ASSERT_TRUE(t.waitRecords(1));
      const Bytes bind = body(0);
      ASSERT_GE(bind.size(), 25u);
      EXPECT_EQ(bind[0], 0x31);
      EXPECT_EQ(hex(Bytes(bind.begin() + 20, bind.begin() + 25)), c.bind);
      first = 1;
    }
    ASSERT_TRUE(t.waitRecords(first + 1));
    Bytes panel = body(first);
    if (c.rows) {
      EXPECT_EQ(hex(panel), kQuery);
      send(2, {0x00});  // a positive response
      send(0, queryReply({usableArea(80, c.rows), colourReply(kEightColours)}));
      ASSERT_TRUE(t.waitRecords(first + 2));
      panel = body(first + 1);
    }
    ASSERT_FALSE(panel.empty());
    EXPECT_EQ(panel[0], c.rows ? 0x7E : 0xF5);
    Screen s(c.rows ? c.rows : 24, 80);
    s.apply(panel);
    EXPECT_NE(s.row(0).find("LOGON"), std::string::npos) << s.row(0);

    const size_t before = t.records.size();
    send(0, attention(0x7D, s));
    ASSERT_TRUE(t.waitRecords(before + 1));
    t.readUntil([] { return false; }, 200);
    ASSERT_EQ(t.records.size(), before + 1) << "one record per key";
    s.apply(body(before));
    EXPECT_NE(s.row((c.rows ? c.rows : 24) - 2).find("USERID REQUIRED"), std::string::npos);
    EXPECT_EQ(hex(t.commands), kOffered + c.transcript);
  }
}

TEST(DemoHostTest, Tn3270eOnlyHostTurnsAwayAClientThatRefusesIt) {
  DemoHost host({"--port", "0", "--logoff-delay", "0", "--tn3270e-only"});
  ASSERT_GT(host.port(), 0) << host.firstLine();
  Terminal plain(host.port(), "IBM-3278-2");
  ASSERT_TRUE(plain.waitClosed());
  EXPECT_NE(plain.text.find("TN3270E clients only"), std::string::npos) << plain.text;
  EXPECT_EQ(hex(plain.commands) + " ", kOffered) << "no terminal type asked for";
  EXPECT_TRUE(plain.records.empty());

  Terminal agrees(host.port(), "IBM-3278-2");
  agrees.tn3270eAnswers = {deviceTypeRequest("IBM-3278-2"), functions(kRequest, {2})};
  ASSERT_TRUE(agrees.waitRecords(1));
  EXPECT_EQ(hex(Bytes(agrees.records[0].begin(), agrees.records[0].begin() + 6)), "00 00 00 00 00 F5");
}

// quillon-script with an extended model agrees to TN3270E: the LU it reports
// is the one the host assigned, and the panel is on the model's alternate screen.
TEST(DemoHostTest, ScriptProgramReachesTheHostThroughTn3270e) {
  DemoHost host;
  ASSERT_GT(host.port(), 0) << host.firstLine();
  char input[] = "/tmp/quillon-demo-script-XXXXXX";
  const int fd = mkstemp(input);
  ASSERT_GE(fd, 0);
  const std::string script = "Wait(InputField)\nQuery(LuName)\nReadBuffer(Ascii)\nQuit\n";
  ASSERT_EQ(write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
  close(fd);
  const std::string output = std::string(input) + ".out";
  const std::string command = std::string("timeout 30 ") + QUILLON_SCRIPT_FILE + " -model 3279-4-E 127.0.0.1:" +
                              std::to_string(host.port()) + " < " + input + " > " + output + " 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(output);
  std::vector<std::string> data;
  std::string all;
  for (std::string line; std::getline(in, line);) {
    all += line + "\n";
    if (line.rfind("data: ", 0) == 0) data.push_back(line.substr(6));
  }
  std::remove(input);
  std::remove(output.c_str());
  EXPECT_EQ(status, 0) << all;
  ASSERT_EQ(data.size(), 1u + 43u) << all;
  EXPECT_EQ(data[0], "QLU00001");
  EXPECT_NE(data[1].find("4c 4f 47 4f 4e"), std::string::npos) << "LOGON in the title row: " << data[1];
}

// ---- strict mode -------------------------------------------------------------

const std::vector<std::string> kStrictArgs{"--port", "0", "--logoff-delay", "0", "--strict"};

TEST(DemoHostTest, StrictHostResetsAClientThatDoesNotWait) {
  struct Case {
    const char* what;
    bool speaksFirst;
    Bytes firstWords;  // sent once the host's first bytes are there
  };
  const Case cases[] = {
      {"opening negotiation at connect", true, {}},
      {"something other than the answer to DO TN3270E first", false, {0xFF, kWill, kSga, 0xFF, kWont, kTn3270e}},
  };
  DemoHost host(kStrictArgs);
  ASSERT_GT(host.port(), 0) << host.firstLine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Terminal t(host.port(), "IBM-3278-2", {}, c.speaksFirst);
    if (!c.firstWords.empty()) {
      ASSERT_TRUE(t.waitReadable());
      t.send(c.firstWords);
    }
    ASSERT_TRUE(t.waitClosed());
    EXPECT_TRUE(t.reset) << "a reset, not an orderly close";
    EXPECT_TRUE(t.records.empty());
    EXPECT_TRUE(t.text.empty()) << t.text;
  }
  // The host itself goes on serving.
  Terminal waits(host.port(), "IBM-3278-2", {}, false);
  EXPECT_TRUE(waits.waitRecords(1));
}

TEST(DemoHostTest, StrictHostNegotiatesStepByStepWithAClientThatWaits) {
  DemoHost host(kStrictArgs);
  ASSERT_GT(host.port(), 0) << host.firstLine();
  {
    Terminal t(host.port(), "IBM-3278-2", {}, false);
    ASSERT_TRUE(t.waitRecords(1));
    EXPECT_TRUE(t.in3270());
    EXPECT_FALSE(t.closed);
    // The host waits for each answer before the next step; each pair comes in one write.
    ASSERT_GE(t.reads.size(), 6u);
    const std::vector<std::string> steps(t.reads.begin(), t.reads.begin() + 5);
    EXPECT_EQ(steps, (std::vector<std::string>{"FF FD 28", "FF FD 18", "FF FA 18 01 FF F0", "FF FD 19 FF FB 19",
                                               "FF FD 00 FF FB 00"}));
    Screen s;
    s.apply(t.records[0]);
    EXPECT_NE(s.row(0).find("LOGON"), std::string::npos) << s.row(0);
  }
  {
    // Any other terminal type gets the line-mode session, as from the normal host.
    Terminal t(host.port(), "VT100", {}, false);
    ASSERT_TRUE(t.waitText("demo> "));
    EXPECT_FALSE(t.reset);
  }
}

TEST(DemoHostTest, RejectsBadArguments) {
  const std::vector<std::string> bad[] = {{"--port", "x"}, {"--port", "70000"}, {"--port"}, {"--colour"},
                                          {"--strict=yes"}};
  for (const auto& args : bad) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    DemoHost host(args);
    EXPECT_EQ(host.port(), 0);
    EXPECT_EQ(host.waitExit(), 2);
  }
}

}  // namespace
