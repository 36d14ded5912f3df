// quillon-script beside s3270 in the extended models (3278-2-E, 3279-2-E,
// 3279-4-E, 3279-5-E). Each program is connected to a host the test plays;
// both are driven with the same action lines and sent the same records:
// - both name the same terminal type and answer Read Partition Query with the
//   same replies (DDM, which Quillon does not claim, aside), the same usable
//   area and the same colours;
// - after each of some hundreds of random records (Erase/Write, Erase/Write
//   Alternate, Write, Erase All Unprotected with every order, all over the
//   alternate screen) ReadBuffer(Ascii) gives the same data lines and status;
// - after the same typing into a form, Read Buffer, Read Modified and Read
//   Modified All send the same bytes in each reply mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "record_generator.h"
#include "script_program.h"
#include "scripted_host.h"

namespace {

using Bytes = std::vector<uint8_t>;
using records::code6;

constexpr uint8_t kIac = 0xFF, kSb = 0xFA, kSe = 0xF0, kWill = 0xFB, kDo = 0xFD, kEor = 0xEF;
constexpr uint8_t kTerminalType = 0x18, kEndOfRecord = 0x19, kBinary = 0x00;
constexpr int kRecords = 500;

// Write Structured Field: Read Partition Query.
const Bytes kQuery = {0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02};

std::string hex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One program and the host it is connected to. The host reads what the
// program sends as telnet: option answers, subnegotiations and 3270 records.
class Client {
 public:
  Client(const std::string& program, const std::string& model)
      : program_({"-model", model, "-xrm", "s3270.unlockDelay: False"}, program) {}

  // Connects, agrees on TN3270 as a host does (terminal type, end of record,
  // binary) and sends an empty Erase/Write: s3270 answers Connect only once
  // the first record has come.
  testing::AssertionResult connect() {
    if (!program_.started()) return testing::AssertionFailure() << "the program did not start";
    program_.write("Connect(" + host_.address() + ")\n");
    // A program that ends at once (a model it does not know) fails at once.
    for (int waited = 0; !host_.accept(100); waited += 100) {
      const std::string said = program_.answer(1);
      if (waited >= 5000 || said.find("<end of output>") != std::string::npos)
        return testing::AssertionFailure() << "no connection; " << said << "\n" << program_.errors();
    }
    host_.send({kIac, kDo, kTerminalType});
    if (!waitFor([&] { return options_.count({kWill, kTerminalType}) > 0; }))
      return testing::AssertionFailure() << "no WILL TERMINAL-TYPE";
    host_.send({kIac, kSb, kTerminalType, 0x01, kIac, kSe});
    if (!waitFor([&] { return !terminalType_.empty(); })) return testing::AssertionFailure() << "no terminal type";
    host_.send({kIac, kDo, kEndOfRecord, kIac, kWill, kEndOfRecord, kIac, kDo, kBinary, kIac, kWill, kBinary});
    if (!waitFor([&] {
          return options_.count({kWill, kEndOfRecord}) && options_.count({kDo, kEndOfRecord}) &&
                 options_.count({kWill, kBinary}) && options_.count({kDo, kBinary});
        }))
      return testing::AssertionFailure() << "END-OF-RECORD and BINARY not agreed";
    send({0xF5, 0xC3});
    const std::string answer = program_.answer(5000);
    if (answer.find(" C(127.0.0.1) I ") == std::string::npos)
      return testing::AssertionFailure() << "not connected in 3270 mode: " << answer;
    return testing::AssertionSuccess();
  }

  const std::string& terminalType() const { return terminalType_; }
  ScriptProgram& program() { return program_; }

  // Sends a record: IAC doubled, IAC EOR after it.
  void send(const Bytes& record) {
    Bytes framed;
    for (uint8_t b : record) {
      framed.push_back(b);
      if (b == kIac) framed.push_back(kIac);
    }
    framed.push_back(kIac);
    framed.push_back(kEor);
    host_.send(framed);
  }

  // The next record the program sends; false when none came in time.
  bool record(Bytes* out, int timeoutMs = 3000) {
    if (!waitFor([&] { return !records_.empty(); }, timeoutMs)) return false;
    *out = records_.front();
    records_.pop_front();
    return true;
  }

 private:
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
        records_.push_back(recordSoFar_);
        recordSoFar_.clear();
        i += 2;
      } else if (command >= kWill) {  // WILL, WONT, DO, DONT
        if (i + 2 >= n) break;
        options_.insert({command, unparsed_[i + 2]});
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
        i = j + 2;
      } else {
        i += 2;
      }
    }
    unparsed_.erase(unparsed_.begin(), unparsed_.begin() + static_cast<std::ptrdiff_t>(i));
  }

  ScriptProgram program_;
  scripted::Host host_;
  Bytes unparsed_, recordSoFar_;
  std::deque<Bytes> records_;
  std::set<std::pair<uint8_t, uint8_t>> options_;
  std::string terminalType_;
};

struct Model {
  const char* name;
  int rows, columns;  // the alternate screen
  uint64_t seed;
};
void PrintTo(const Model& model, std::ostream* out) { *out << model.name; }

// The lines of an answer.
std::vector<std::string> lines(const std::string& answer) {
  std::vector<std::string> out;
  for (size_t at = 0; at <= answer.size();) {
    const size_t nl = std::min(answer.find('\n', at), answer.size());
    out.push_back(answer.substr(at, nl - at));
    at = nl + 1;
  }
  return out;
}

// The words of a line, split at blanks.
std::vector<std::string> words(const std::string& line) {
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
std::string statusFields(const std::string& line) {
  const std::vector<std::string> fields = words(line);
  std::string out;
  for (size_t f = 1; f + 1 < fields.size(); ++f) out += fields[f] + ' ';
  return out;
}

// The first difference of two ReadBuffer answers, or "" when they agree.
std::string difference(const std::string& expected, const std::string& got) {
  const std::vector<std::string> e = lines(expected), g = lines(got);
  if (e.size() != g.size())
    return "s3270 answers " + std::to_string(e.size()) + " lines, quillon-script " + std::to_string(g.size()) +
           "\n  s3270:          " + e.front() + "\n  quillon-script: " + g.front();
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
std::string byteDifference(const Bytes& expected, const Bytes& got) {
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

// Read Partition Query replies by code (the byte after 0x81), the whole
// structured field each; empty when the record is not a query reply.
std::map<uint8_t, Bytes> queryReplies(const Bytes& record) {
  std::map<uint8_t, Bytes> out;
  if (record.empty() || record[0] != 0x88) return out;
  size_t at = 1;
  while (at + 4 <= record.size()) {
    const size_t length = size_t{record[at]} << 8 | record[at + 1];
    if (length < 4 || at + length > record.size() || record[at + 2] != 0x81) return {};
    out[record[at + 3]] = Bytes(record.begin() + static_cast<std::ptrdiff_t>(at),
                                record.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  if (at != record.size()) return {};
  return out;
}

class ModelBesideS3270 : public testing::TestWithParam<Model> {
 protected:
  void SetUp() override {
    if (std::system("command -v s3270 >/dev/null 2>&1") != 0) GTEST_SKIP() << "s3270 is not installed";
    ASSERT_TRUE(reference.connect()) << "s3270";
    ASSERT_TRUE(quillon.connect()) << "quillon-script";
    ASSERT_EQ(quillon.terminalType(), reference.terminalType());
  }

  // Sends the record to both and takes the reply each sends back.
  testing::AssertionResult exchange(const Bytes& record, Bytes* expected, Bytes* got) {
    reference.send(record);
    quillon.send(record);
    if (!reference.record(expected)) return testing::AssertionFailure() << "s3270 did not answer " << hex(record);
    if (!quillon.record(got)) return testing::AssertionFailure() << "quillon-script did not answer " << hex(record);
    return testing::AssertionSuccess();
  }

  // Runs one action line in both programs (at the same time) and returns the
  // answers.
  std::pair<std::string, std::string> run(const std::string& line) {
    reference.program().write(line + "\n");
    quillon.program().write(line + "\n");
    return {reference.program().answer(5000), quillon.program().answer(5000)};
  }

  Client reference{"s3270", GetParam().name};
  Client quillon{QUILLON_SCRIPT_FILE, GetParam().name};
};

TEST_P(ModelBesideS3270, AnswersTheSameQuery) {
  Bytes expected, got;
  ASSERT_TRUE(exchange(kQuery, &expected, &got));
  const std::map<uint8_t, Bytes> e = queryReplies(expected), g = queryReplies(got);
  ASSERT_FALSE(e.empty()) << hex(expected);
  ASSERT_FALSE(g.empty()) << "not a query reply: " << hex(got);
  // The replies present, and those the summary lists, DDM aside.
  const auto codes = [](const std::map<uint8_t, Bytes>& replies) {
    std::set<uint8_t> present, listed;
    for (const auto& [code, bytes] : replies)
      if (code != 0x95) present.insert(code);
    if (const auto summary = replies.find(0x80); summary != replies.end())
      for (size_t i = 4; i < summary->second.size(); ++i)
        if (summary->second[i] != 0x95) listed.insert(summary->second[i]);
    return std::make_pair(present, listed);
  };
  EXPECT_EQ(codes(g), codes(e)) << "s3270: " << hex(expected) << "\nquillon-script: " << hex(got);
  const auto reply = [](const std::map<uint8_t, Bytes>& replies, uint8_t code) {
    const auto it = replies.find(code);
    return it == replies.end() ? std::string("none") : hex(it->second);
  };
  for (uint8_t code : {0x81, 0x86}) EXPECT_EQ(reply(g, code), reply(e, code)) << "reply " << std::hex << int{code};
}

TEST_P(ModelBesideS3270, ShowsTheSameScreenAfterEveryRecord) {
  records::RecordGenerator generator(GetParam().seed, GetParam().rows, GetParam().columns);
  for (int i = 0; i < kRecords; ++i) {
    const Bytes record = generator.next();
    reference.send(record);
    quillon.send(record);
    // The query's reply tells that the record before it has been taken in.
    Bytes expectedReply, gotReply;
    ASSERT_TRUE(exchange(kQuery, &expectedReply, &gotReply)) << "after record " << i << ": " << hex(record);
    const auto [expected, got] = run("ReadBuffer(Ascii)");
    const std::string diff = difference(expected, got);
    if (!diff.empty()) FAIL() << "after record " << i << " (" << hex(record) << "): " << diff;
  }
}

// Bytes of a form on the alternate screen: protected labels, an input field
// with extended attributes and characters of their own, a numeric one, one
// whose MDT is set by the host, and one ending at the last position.
Bytes formRecord(int rows, int columns) {
  const uint32_t last = static_cast<uint32_t>(rows * columns - 1), c = static_cast<uint32_t>(columns);
  const auto at = [](uint32_t a) { return Bytes{0x11, code6(a >> 6), code6(a)}; };
  const auto add = [](Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); };
  Bytes form = {0x7E, 0xC3};
  add(form, at(0));
  add(form, {0x1D, 0x60, 0xD5, 0xC1, 0xD4, 0xC5});  // NAME
  add(form, at(10));
  add(form, {0x29, 0x03, 0xC0, 0x40, 0x42, 0xF2, 0x41, 0xF4, 0xC1, 0x28, 0x42, 0xF6, 0xC2, 0x28, 0x45, 0xF1, 0xC3,
             0x00, 0xC4, 0x28, 0x00, 0x00, 0x08, 0xAD});
  add(form, at(30));
  add(form, {0x1D, 0x60, 0xD5, 0xD6});  // NO
  add(form, at(c + 5));
  add(form, {0x1D, 0x50});
  add(form, at(c + 12));
  add(form, {0x1D, 0x60});
  add(form, at(2 * c));
  add(form, {0x29, 0x02, 0xC0, 0xC1, 0x45, 0xF1, 0xE7, 0xE8, 0x28, 0x41, 0xF2, 0xE9});
  add(form, at(2 * c + 20));
  add(form, {0x1D, 0x60});
  add(form, at(last - 5));
  add(form, {0x29, 0x01, 0x42, 0xF4});
  add(form, at(11));
  form.push_back(0x13);
  return form;
}

TEST_P(ModelBesideS3270, SendsTheSameReadReplies) {
  const int rows = GetParam().rows, columns = GetParam().columns, last = rows * columns - 1;
  // The form, and its Read Buffer, which also tells it has been taken in.
  reference.send(formRecord(rows, columns));
  quillon.send(formRecord(rows, columns));
  Bytes formExpected, formGot;
  ASSERT_TRUE(exchange({0xF2}, &formExpected, &formGot));
  if (const std::string diff = byteDifference(formExpected, formGot); !diff.empty())
    ADD_FAILURE() << "Read Buffer of the form: " << diff;
  const std::string edge = std::to_string((last - 4) / columns) + ", " + std::to_string((last - 4) % columns);
  for (const std::string& line : std::vector<std::string>{"MoveCursor(0, 12)", "String(\"hello\")", "MoveCursor(1, 6)",
                                                          "String(\"4711\")", "MoveCursor(" + edge + ")",
                                                          "String(\"edge\")"}) {
    const auto [expected, got] = run(line);
    ASSERT_EQ(got, expected) << line;
  }
  const std::pair<const char*, Bytes> modes[] = {
      {"field", {}},
      {"extended field", {0xF3, 0x00, 0x05, 0x09, 0x00, 0x01}},
      {"character", {0xF3, 0x00, 0x08, 0x09, 0x00, 0x02, 0x41, 0x42, 0x43}},
  };
  for (const auto& [mode, setReplyMode] : modes) {
    if (!setReplyMode.empty()) {
      reference.send(setReplyMode);
      quillon.send(setReplyMode);
    }
    for (uint8_t command : {0xF2, 0xF6, 0x6E}) {
      Bytes expected, got;
      ASSERT_TRUE(exchange({command}, &expected, &got));
      const std::string diff = byteDifference(expected, got);
      if (!diff.empty()) ADD_FAILURE() << mode << " mode, command " << hex({command}) << ": " << diff;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Extended, ModelBesideS3270,
                         testing::Values(Model{"3278-2-E", 24, 80, 0x3278'0002}, Model{"3279-2-E", 24, 80, 0x3279'0002},
                                         Model{"3279-4-E", 43, 80, 0x3279'0004},
                                         Model{"3279-5-E", 27, 132, 0x3279'0005}),
                         [](const testing::TestParamInfo<Model>& info) {
                           std::string name = std::string("Model") + info.param.name;
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name;
                         });

}  // namespace
