// A script program (quillon-script, or s3270 for comparison) connected to a
// host the test plays, and the helpers that compare two such programs: hex
// dumps, ReadBuffer answers line by line and replies byte by byte. The host
// reads what the program sends as telnet items (records, subnegotiations,
// option and other commands) in the order they came.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "script_program.h"
#include "scripted_host.h"

namespace script_client {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kIac = 0xFF, kSb = 0xFA, kSe = 0xF0, kWill = 0xFB, kDo = 0xFD, kEor = 0xEF;
constexpr uint8_t kTerminalType = 0x18;

inline std::string hex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

inline int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One thing the program sent.
struct Item {
  enum Kind { kRecord, kSubnegotiation, kOption, kCommand } kind;
  Bytes bytes;  // a record's or subnegotiation's body (IACs single); {command, option}; {command}
};

class Client {
 public:
  Client(const std::string& program, const std::string& model)
      : program_({"-model", model, "-xrm", "s3270.unlockDelay: False"}, program) {}

  ScriptProgram& program() { return program_; }
  // "127.0.0.1:<port>" of the host the program is to connect to.
  std::string address() const { return host_.address(); }
  const std::string& terminalType() const { return terminalType_; }
  // The option commands (WILL, WONT, DO, DONT with their option) seen so far.
  const std::set<std::pair<uint8_t, uint8_t>>& options() const { return options_; }

  // Writes Connect(target) and takes the program's connection. The answer to
  // Connect is left for the caller: s3270 gives it once the first record came.
  testing::AssertionResult open(const std::string& target) {
    if (!program_.started()) return testing::AssertionFailure() << "the program did not start";
    program_.write("Connect(" + target + ")\n");
    // A program that ends at once (a model it does not know) fails at once.
    for (int waited = 0; !host_.accept(100); waited += 100) {
      const std::string said = program_.answer(1);
      if (waited >= 5000 || said.find("<end of output>") != std::string::npos)
        return testing::AssertionFailure() << "no connection; " << said << "\n" << program_.errors();
    }
    return testing::AssertionSuccess();
  }

  void sendRaw(const Bytes& bytes) { host_.send(bytes); }
  // A record as it travels: IAC doubled, IAC EOR after it.
  static Bytes frame(const Bytes& record) {
    Bytes framed;
    for (uint8_t b : record) {
      framed.push_back(b);
      if (b == kIac) framed.push_back(kIac);
    }
    framed.push_back(kIac);
    framed.push_back(kEor);
    return framed;
  }
  void send(const Bytes& record) { host_.send(frame(record)); }

  // The next item the program sent; false when none came in time.
  bool next(Item* out, int timeoutMs = 3000) {
    if (!waitFor([&] { return !items_.empty(); }, timeoutMs)) return false;
    *out = items_.front();
    items_.pop_front();
    return true;
  }
  // Waits until the program has sent an item; false when none came in time.
  bool waitForItem(int timeoutMs = 3000) {
    return waitFor([&] { return !items_.empty(); }, timeoutMs);
  }
  // The next record, other items before it passed over.
  bool record(Bytes* out, int timeoutMs = 3000) {
    const int64_t end = nowMs() + timeoutMs;
    Item item;
    while (next(&item, static_cast<int>(std::max<int64_t>(0, end - nowMs()))))
      if (item.kind == Item::kRecord) {
        *out = item.bytes;
        return true;
      }
    return false;
  }

  bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    const int64_t end = nowMs() + timeoutMs;
    while (!done()) {
      const int64_t left = end - nowMs();
      if (left <= 0 || !scripted::waitUnread(host_.connection(), static_cast<int>(left))) return done();
      const Bytes more = host_.takeReady();
      unparsed_.insert(unparsed_.end(), more.begin(), more.end());
      parse();
    }
    return true;
  }

 private:
  // Takes the complete telnet items from the front of unparsed_.
  void parse() {
    size_t i = 0;
    const size_t n = unparsed_.size();
    while (i < n) {
      if (unparsed_[i] != kIac) {
        recordSoFar_.push_back(unparsed_[i++]);
        continue;
      }
      if (i + 1 >= n) break;
      const uint8_t command = unparsed_[i + 1];
      if (command == kIac) {
        recordSoFar_.push_back(kIac);
        i += 2;
      } else if (command == kEor) {
        items_.push_back({Item::kRecord, recordSoFar_});
        recordSoFar_.clear();
        i += 2;
      } else if (command >= kWill) {  // WILL, WONT, DO, DONT
        if (i + 2 >= n) break;
        options_.insert({command, unparsed_[i + 2]});
        items_.push_back({Item::kOption, {command, unparsed_[i + 2]}});
        i += 3;
      } else if (command == kSb) {
        Bytes body;
        size_t j = i + 2;
        bool complete = false;
        while (j + 1 < n) {
          if (unparsed_[j] == kIac && unparsed_[j + 1] == kSe) {
            complete = true;
            break;
          }
          if (unparsed_[j] == kIac && unparsed_[j + 1] == kIac) ++j;
          body.push_back(unparsed_[j++]);
        }
        if (!complete) break;
        if (body.size() > 2 && body[0] == kTerminalType && body[1] == 0x00)
          terminalType_.assign(body.begin() + 2, body.end());
        items_.push_back({Item::kSubnegotiation, body});
        i = j + 2;
      } else {
        items_.push_back({Item::kCommand, {command}});
        i += 2;
      }
    }
    unparsed_.erase(unparsed_.begin(), unparsed_.begin() + static_cast<std::ptrdiff_t>(i));
  }

  ScriptProgram program_;
  scripted::Host host_;
  Bytes unparsed_, recordSoFar_;
  std::deque<Item> items_;
  std::set<std::pair<uint8_t, uint8_t>> options_;
  std::string terminalType_;
};

// The lines of an answer.
inline std::vector<std::string> lines(const std::string& answer) {
  std::vector<std::string> out;
  for (size_t at = 0; at <= answer.size();) {
    const size_t nl = std::min(answer.find('\n', at), answer.size());
    out.push_back(answer.substr(at, nl - at));
    at = nl + 1;
  }
  return out;
}

// The words of a line, split at blanks.
inline std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  for (size_t at = 0; at < line.size();) {
    const size_t blank = std::min(line.find(' ', at), line.size());
    out.push_back(line.substr(at, blank - at));
    at = blank + 1;
  }
  return out;
}

// A status line without its keyboard field (s3270 shows the keyboard locked
// after a query until the next keyboard restore) and its run time.
inline std::string statusFields(const std::string& line) {
  const std::vector<std::string> fields = words(line);
  std::string out;
  for (size_t f = 1; f + 1 < fields.size(); ++f) out += fields[f] + ' ';
  return out;
}

// The first difference of two ReadBuffer answers, or "" when they agree.
inline std::string difference(const std::string& expected, const std::string& got) {
  const std::vector<std::string> e = lines(expected), g = lines(got);
  if (e.size() != g.size())
    return "s3270 answers " + std::to_string(e.size()) + " lines, quillon-script " + std::to_string(g.size()) +
           "\n  s3270:          " + e.front() + "\n  quillon-script: " + g.front() +
           "\n  s3270 status:          " + e[e.size() > 1 ? e.size() - 2 : 0] +
           "\n  quillon-script status: " + g[g.size() > 1 ? g.size() - 2 : 0];
  for (size_t r = 0; r < e.size(); ++r) {
    const bool status = r + 2 == e.size();
    if (status ? statusFields(e[r]) == statusFields(g[r]) : e[r] == g[r]) continue;
    std::string where = status ? "status line" : "row " + std::to_string(r);
    if (!status) {
      const std::vector<std::string> ew = words(e[r]), gw = words(g[r]);
      size_t word = 0;
      while (word < ew.size() && word < gw.size() && ew[word] == gw[word]) ++word;
      where += ", word " + std::to_string(word);  // "data:" is word 0
    }
    return where + " differs\n  s3270:          " + e[r] + "\n  quillon-script: " + g[r];
  }
  return "";
}

// Where two replies first differ, with the bytes around, or "" when they agree.
inline std::string byteDifference(const Bytes& expected, const Bytes& got) {
  if (got == expected) return "";
  size_t at = 0;
  while (at < expected.size() && at < got.size() && expected[at] == got[at]) ++at;
  const size_t from = at > 8 ? at - 8 : 0;
  const auto window = [&](const Bytes& b) {
    return hex(Bytes(b.begin() + static_cast<std::ptrdiff_t>(std::min(from, b.size())),
                     b.begin() + static_cast<std::ptrdiff_t>(std::min(at + 24, b.size()))));
  };
  return "first difference at byte " + std::to_string(at) + " of " + std::to_string(expected.size()) + " / " +
         std::to_string(got.size()) + ", from byte " + std::to_string(from) + "\n  s3270:          " +
         window(expected) + "\n  quillon-script: " + window(got);
}

}  // namespace script_client
