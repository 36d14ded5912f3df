// quillon-script beside s3270 under TN3270E. Each program connects as
// LU1@host to a host the test plays, and both are sent the same session:
// - the negotiation: DEVICE-TYPE with CONNECT, then FUNCTIONS IS (BIND-IMAGE,
//   RESPONSES, SYSREQ) or the host's narrower FUNCTIONS REQUEST (RESPONSES);
// - a 3270-DATA record before the BIND, the BIND naming the alternate size,
//   a Write onto the screen the BIND left;
// - some hundreds of random records as 3270-DATA, each asking for no, error or
//   every response, their sequence numbers running through 0xFF bytes, with
//   faulty ones among them (an unknown command, an address past the screen,
//   Write and Erase/Write Alternate without their WCC);
// - a form typed into and sent with Enter, a Read Buffer, ATTN;
// - SSCP-LU-DATA text, typed text sent with Enter, 3270 data after it, SYSREQ;
// - last, a record with a telnet command right after it in the same segment.
// After each step both must have sent the same items (subnegotiations,
// responses with their headers, read replies, IAC commands) and ReadBuffer(Ascii)
// must show the same screen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "record_generator.h"
#include "script_client.h"

namespace {

using namespace script_client;
using records::code6;

constexpr uint8_t kTn3270e = 40, kTimingMark = 6;
// Subnegotiation commands and functions.
constexpr uint8_t kDeviceType = 2, kFunctions = 3, kIs = 4, kRequest = 7, kSend = 8, kConnectLu = 1;
constexpr uint8_t kBindImage = 0, kResponses = 2, kSysreq = 4;
// Data types and response flags of the header.
constexpr uint8_t k3270Data = 0, kBind = 3, kSscpLuData = 7;
constexpr uint8_t kNoResponse = 0, kErrorResponse = 1, kAlwaysResponse = 2;
constexpr int kRecords = 200;

struct Session {
  const char* model;
  const char* deviceType;  // as the host confirms it
  int rows, columns;       // the alternate screen
  uint64_t seed;
  bool counterProposal;  // the host narrows the functions to RESPONSES
};
void PrintTo(const Session& s, std::ostream* out) { *out << s.model << (s.counterProposal ? " narrowed" : ""); }

// An item as the failure messages show it.
std::string text(const Item& item) {
  static const char* const kKinds[] = {"record", "SB", "option", "command"};
  return std::string(kKinds[item.kind]) + " " + hex(item.bytes);
}

Bytes header(uint8_t dataType, uint8_t responseFlag, uint16_t sequence) {
  return {dataType, 0x00, responseFlag, static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence)};
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A BIND whose presentation space is 24 x 80 by default and `rows` x
// `columns` as the alternate (byte 24: 0x7F, both sizes given).
Bytes bindImage(int rows, int columns) {
  Bytes bind(28, 0x00);
  bind[0] = 0x31;
  bind[20] = 24;
  bind[21] = 80;
  bind[22] = static_cast<uint8_t>(rows);
  bind[23] = static_cast<uint8_t>(columns);
  bind[24] = 0x7F;
  return bind;
}

// Unformatted EBCDIC text of capitals, digits and blanks.
Bytes ebcdic(const std::string& s) {
  Bytes out;
  for (char ch : s) {
    const uint8_t c = static_cast<uint8_t>(ch);
    out.push_back(c == ' '                ? 0x40
                  : c >= 'A' && c <= 'I'  ? static_cast<uint8_t>(0xC1 + c - 'A')
                  : c >= 'J' && c <= 'R'  ? static_cast<uint8_t>(0xD1 + c - 'J')
                  : c >= 'S' && c <= 'Z'  ? static_cast<uint8_t>(0xE2 + c - 'S')
                                          : static_cast<uint8_t>(0xF0 + c - '0'));
  }
  return out;
}

class Tn3270eBesideS3270 : public testing::TestWithParam<Session> {
 protected:
  void SetUp() override {
    if (std::system("command -v s3270 >/dev/null 2>&1") != 0) GTEST_SKIP() << "s3270 is not installed";
    ASSERT_TRUE(reference.open("LU1@" + reference.address())) << "s3270";
    ASSERT_TRUE(quillon.open("LU1@" + quillon.address())) << "quillon-script";
  }

  // What the client sent up to the item `last` accepts. Quillon opens with
  // its NVT options on every connection, s3270 waits for the host: options
  // other than TN3270E are left out.
  static std::vector<std::string> collect(Client& client, const std::function<bool(const Item&)>& last) {
    std::vector<std::string> out;
    Item item;
    while (client.next(&item)) {
      if (last(item) || item.kind != Item::kOption || item.bytes[1] == kTn3270e) out.push_back(text(item));
      if (last(item)) return out;
    }
    out.push_back("<nothing more>");
    return out;
  }
  static bool isTimingMark(const Item& item) { return item.kind == Item::kOption && item.bytes[1] == kTimingMark; }

  // Compares what the programs sent up to the item `last` accepts.
  std::vector<std::string> compareItems(const std::string& what, const std::function<bool(const Item&)>& last) {
    const std::vector<std::string> expected = collect(reference, last), got = collect(quillon, last);
    if (got != expected) {
      std::string message = what + ": the programs sent different items\n  s3270:";
      for (const std::string& i : expected) message += "\n    " + i;
      message += "\n  quillon-script:";
      for (const std::string& i : got) message += "\n    " + i;
      ADD_FAILURE() << message;
      ++differences;
    }
    return expected;
  }
  // The same up to the answer to IAC DO TIMING-MARK, which a program sends
  // once it has taken in everything before; the answer itself left out.
  std::vector<std::string> compareItems(const std::string& what) {
    reference.sendRaw({kIac, kDo, kTimingMark});
    quillon.sendRaw({kIac, kDo, kTimingMark});
    std::vector<std::string> items = compareItems(what, isTimingMark);
    if (!items.empty() && items.back() != "<nothing more>") items.pop_back();
    return items;
  }

  // Sends the bytes as they are to both (nothing when empty) and compares
  // what each sent back; s3270's items are returned.
  std::vector<std::string> step(const std::string& what, const Bytes& raw = {}) {
    if (!raw.empty()) {
      reference.sendRaw(raw);
      quillon.sendRaw(raw);
    }
    return compareItems(what);
  }

  // Sends a 3270-DATA record followed by a Write that changes nothing and
  // asks for a response, and compares what the programs sent up to that
  // response: the record's own response, if any, and its replies.
  void data(const std::string& what, uint8_t responseFlag, const Bytes& body) {
    const uint16_t ping = static_cast<uint16_t>(sequence + 1);
    const Bytes both = Client::frame(header(k3270Data, responseFlag, sequence) + body) +
                       Client::frame(header(k3270Data, kAlwaysResponse, ping) + Bytes{0xF1, 0x00});
    sequence = static_cast<uint16_t>(sequence + 2);
    reference.sendRaw(both);
    quillon.sendRaw(both);
    compareItems(what + " (" + hex(header(k3270Data, responseFlag, ping - 1) + body) + ")", [&](const Item& item) {
      return item.kind == Item::kRecord && item.bytes.size() >= 5 && item.bytes[0] == 0x02 &&
             (item.bytes[3] << 8 | item.bytes[4]) == ping;
    });
  }
  // Sends a record that has no answer, and compares what the programs sent
  // before the answer to a later IAC DO TIMING-MARK. Quillon takes a telnet
  // command that comes in the same read right after a record for the next
  // record's data (checked last, below): the pause keeps the two apart.
  std::vector<std::string> unanswered(const std::string& what, const Bytes& record) {
    reference.send(record);
    quillon.send(record);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return compareItems(what + " (" + hex(record) + ")");
  }

  // Writes an action line that makes the programs send something, and
  // compares what they sent once each has sent it (or a second has passed).
  // The answers are left to the caller: s3270 answers Enter only once the
  // keyboard is restored.
  void press(const std::string& line) {
    reference.program().write(line + "\n");
    quillon.program().write(line + "\n");
    reference.waitForItem(1000);
    quillon.waitForItem(1000);
    compareItems(line);
  }

  // Takes the answers to the action line written last and compares their
  // status (the keyboard field aside) and outcome.
  void compareAnswers(const std::string& line) {
    const std::string expected = reference.program().answer(5000), got = quillon.program().answer(5000);
    const auto outcome = [](const std::string& answer) {
      const std::vector<std::string> l = lines(withoutLu(answer));
      return l.size() < 2 ? answer : statusFields(l[l.size() - 2]) + l.back();
    };
    EXPECT_EQ(outcome(got), outcome(expected)) << line << "\n  s3270:\n" << expected << "\n  quillon-script:\n" << got;
  }

  // Runs one action line in both programs and returns the answers.
  std::pair<std::string, std::string> run(const std::string& line) {
    reference.program().write(line + "\n");
    quillon.program().write(line + "\n");
    return {reference.program().answer(5000), quillon.program().answer(5000)};
  }

  // Compares ReadBuffer(Ascii); false when the screens differ. The LU in the
  // connection field is compared once, after the connection (see below).
  bool compareScreens(const std::string& what) {
    const auto [expected, got] = run("ReadBuffer(Ascii)");
    const std::string diff = difference(withoutLu(expected), withoutLu(got));
    if (diff.empty()) return true;
    ADD_FAILURE() << "after " << what << ": " << diff;
    ++differences;
    return false;
  }
  static std::string withoutLu(std::string answer) {
    const size_t at = answer.find(" C(LU0001@");
    if (at != std::string::npos) answer.erase(at + 3, 7);
    return answer;
  }

  uint16_t sequence = 0xFEF0;  // runs through 0xFEFF, 0xFF00..0xFFFF and back to 0
  int differences = 0;
  Client reference{"s3270", GetParam().model};
  Client quillon{QUILLON_SCRIPT_FILE, GetParam().model};
};

TEST_P(Tn3270eBesideS3270, RunsTheSameSession) {
  const Session& p = GetParam();
  const std::string type(p.deviceType);

  // The negotiation. s3270's items are checked too: the session below
  // depends on them.
  ASSERT_EQ(step("DO TN3270E", {kIac, kDo, kTn3270e}), std::vector<std::string>{"option FB 28"});
  ASSERT_EQ(step("SEND DEVICE-TYPE", {kIac, kSb, kTn3270e, kSend, kDeviceType, kIac, kSe}),
            std::vector<std::string>{"SB 28 02 07 " + hex(Bytes(type.begin(), type.end())) + " 01 4C 55 31"});
  Bytes deviceIs = {kIac, kSb, kTn3270e, kDeviceType, kIs};
  deviceIs.insert(deviceIs.end(), type.begin(), type.end());
  deviceIs = deviceIs + Bytes{kConnectLu, 'L', 'U', '0', '0', '0', '1', kIac, kSe};
  ASSERT_EQ(step("DEVICE-TYPE IS", deviceIs), std::vector<std::string>{"SB 28 03 07 00 02 04"});
  if (p.counterProposal) {
    ASSERT_EQ(step("FUNCTIONS REQUEST", {kIac, kSb, kTn3270e, kFunctions, kRequest, kResponses, kIac, kSe}),
              std::vector<std::string>{"SB 28 03 04 02"});
  } else {
    ASSERT_TRUE(
        step("FUNCTIONS IS", {kIac, kSb, kTn3270e, kFunctions, kIs, kBindImage, kResponses, kSysreq, kIac, kSe})
            .empty());
    // Before the BIND there is no session for 3270 data: it is dropped unanswered.
    EXPECT_TRUE(unanswered("3270 data before the BIND", header(k3270Data, kAlwaysResponse, 0) + Bytes{0xF5, 0xC3, 0xC1})
                    .empty());
    EXPECT_TRUE(unanswered("BIND", header(kBind, kNoResponse, 0) + bindImage(p.rows, p.columns)).empty());
  }

  // A Write first: the screen the BIND left. s3270 answers Connect once the
  // first 3270 data has come.
  const auto at = [](uint32_t a) { return Bytes{0x11, code6(a >> 6), code6(a)}; };
  data("a Write after the BIND", kAlwaysResponse, Bytes{0xF1, 0xC2} + at(0) + ebcdic("FIRST"));
  {
    const std::string expected = reference.program().answer(5000), got = quillon.program().answer(5000);
    ASSERT_NE(expected.find("\nok"), std::string::npos) << expected;
    ASSERT_NE(got.find("\nok"), std::string::npos) << got;
    // The connection field of the status line: s3270 names the host alone,
    // quillon-script the assigned LU before it.
    const std::string field = words(lines(expected).front()).at(3);
    EXPECT_EQ(words(lines(got).front()).at(3), "C(LU0001@" + field.substr(2)) << "the connection field";
  }
  compareScreens("a Write after the BIND");
  // The generator starts from an erased screen of the default size.
  data("an Erase/Write", kAlwaysResponse, {0xF5, 0xC3});

  // Random records, each asking for every response, one on error only or
  // none; the faulty ones come where the sequence numbers start with 0xFF.
  records::RecordGenerator generator(p.seed, p.rows, p.columns);
  const std::vector<std::pair<uint8_t, Bytes>> faulty = {
      {kAlwaysResponse, {0x99, 0xC3}},                          // an unknown command
      {kNoResponse, {0x99, 0xC3}},                              // the same, no response wanted
      {kErrorResponse, {0xF1, 0x40, 0x11, 0x7F, 0x7F, 0xC1}},  // an address past the screen
      {kAlwaysResponse, {0xF1}},                                // Write without its WCC
      {kErrorResponse, {0x7E}},                                 // Erase/Write Alternate without its WCC
  };
  constexpr int kFaultyAt = 100;
  for (int i = 0; i < kRecords; ++i) {
    const int before = differences;
    const bool isFaulty = i >= kFaultyAt && i < kFaultyAt + static_cast<int>(faulty.size());
    uint8_t flag = i % 7 == 0 ? kNoResponse : i % 3 == 0 ? kErrorResponse : kAlwaysResponse;
    Bytes body;
    if (isFaulty)
      std::tie(flag, body) = faulty[static_cast<size_t>(i - kFaultyAt)];
    else
      body = generator.next();
    const std::string what = (isFaulty ? "faulty record " : "record ") + std::to_string(i) + " (" + hex(body) + ")";
    data(what, flag, body);
    compareScreens(what);
    // A first difference makes the later records differ too.
    if (!isFaulty && differences != before) break;
  }

  // A form, typed into and sent with Enter; s3270 answers Enter once the
  // keyboard is restored. Then Read Buffer, and ATTN.
  const Bytes form = Bytes{0xF5, 0xC3} + at(0) + Bytes{0x1D, 0x60} + ebcdic("NAME") + Bytes{0x1D, 0x40, 0x13} +
                     at(30) + Bytes{0x1D, 0x60} + at(80) + Bytes{0x1D, 0x50} + at(100) + Bytes{0x1D, 0x60};
  data("the form", kAlwaysResponse, form);
  for (const std::string line : {"String(\"hello\")", "Tab", "String(\"4711\")"}) {
    const auto [expected, got] = run(line);
    EXPECT_EQ(withoutLu(got), withoutLu(expected)) << line;
  }
  press("Enter");
  data("Read Buffer", kAlwaysResponse, {0xF2});
  data("a keyboard restore", kAlwaysResponse, {0xF1, 0xC2});
  compareAnswers("Enter");
  compareScreens("Enter");
  // Without BIND-IMAGE neither sends anything; s3270 calls that a success,
  // quillon-script an error, so only the bytes are compared then.
  press("Attn");
  if (!p.counterProposal) {
    compareAnswers("Attn");
  } else {
    reference.program().answer(5000);
    quillon.program().answer(5000);
  }
  const auto [expectedLu, gotLu] = run("Query(LuName)");
  EXPECT_EQ(lines(gotLu).front(), lines(expectedLu).front()) << "Query(LuName)";

  // SSCP-LU text (dropped unless BIND-IMAGE was agreed), typed text sent with
  // Enter, 3270 data after it, and SYSREQ.
  unanswered("SSCP-LU data", header(kSscpLuData, kNoResponse, 0) + ebcdic("READY"));
  compareScreens("SSCP-LU data");
  unanswered("more SSCP-LU data", header(kSscpLuData, kNoResponse, 0) + ebcdic(" LOGON 42"));
  compareScreens("more SSCP-LU data");
  if (!p.counterProposal) {
    const auto [expected, got] = run("String(\"abc\")");
    EXPECT_EQ(withoutLu(got), withoutLu(expected)) << "String after SSCP-LU data";
    press("Enter");
    compareAnswers("Enter after SSCP-LU data");
    compareScreens("Enter after SSCP-LU data");
  }
  data("3270 data after SSCP-LU data", kAlwaysResponse, Bytes{0xF1, 0xC2} + at(170) + ebcdic("BACK"));
  compareScreens("3270 data after SSCP-LU data");
  press("SysReq");
  compareAnswers("SysReq");
  compareScreens("SYSREQ");

  // Last, since Quillon may be left with a broken record: a record and a
  // telnet command in one segment, as a host may well send them.
  const Bytes both = Client::frame(header(k3270Data, kAlwaysResponse, sequence) + Bytes{0xF1, 0x00}) +
                     Bytes{kIac, kDo, kTimingMark};
  reference.sendRaw(both);
  quillon.sendRaw(both);
  compareItems("a record with IAC DO TIMING-MARK after it in one segment", isTimingMark);
}

INSTANTIATE_TEST_SUITE_P(Tn3270eDiff, Tn3270eBesideS3270,
                         testing::Values(Session{"3279-4-E", "IBM-3278-4-E", 43, 80, 0x3270'E004, false},
                                         Session{"3278-2-E", "IBM-3278-2-E", 24, 80, 0x3270'E002, false},
                                         Session{"3279-4-E", "IBM-3278-4-E", 43, 80, 0x3270'E104, true}),
                         [](const testing::TestParamInfo<Session>& info) {
                           std::string name = std::string("Model") + info.param.model;
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name + (info.param.counterProposal ? "_Narrowed" : "");
                         });

}  // namespace
