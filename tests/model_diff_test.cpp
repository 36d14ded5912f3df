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

#include <cstdint>
#include <cstdlib>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "record_generator.h"
#include "script_client.h"

namespace {

using namespace script_client;
using records::code6;

constexpr uint8_t kEndOfRecord = 0x19, kBinary = 0x00;
constexpr int kRecords = 500;

// Write Structured Field: Read Partition Query.
const Bytes kQuery = {0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02};

// Connects, agrees on TN3270 as a host does (terminal type, end of record,
// binary) and sends an empty Erase/Write: s3270 answers Connect only once
// the first record has come.
testing::AssertionResult connect(Client& client) {
  if (testing::AssertionResult opened = client.open(client.address()); !opened) return opened;
  client.sendRaw({kIac, kDo, kTerminalType});
  if (!client.waitFor([&] { return client.options().count({kWill, kTerminalType}) > 0; }))
    return testing::AssertionFailure() << "no WILL TERMINAL-TYPE";
  client.sendRaw({kIac, kSb, kTerminalType, 0x01, kIac, kSe});
  if (!client.waitFor([&] { return !client.terminalType().empty(); }))
    return testing::AssertionFailure() << "no terminal type";
  client.sendRaw({kIac, kDo, kEndOfRecord, kIac, kWill, kEndOfRecord, kIac, kDo, kBinary, kIac, kWill, kBinary});
  if (!client.waitFor([&] {
        const auto& o = client.options();
        return o.count({kWill, kEndOfRecord}) && o.count({kDo, kEndOfRecord}) && o.count({kWill, kBinary}) &&
               o.count({kDo, kBinary});
      }))
    return testing::AssertionFailure() << "END-OF-RECORD and BINARY not agreed";
  client.send({0xF5, 0xC3});
  const std::string answer = client.program().answer(5000);
  if (answer.find(" C(127.0.0.1) I ") == std::string::npos)
    return testing::AssertionFailure() << "not connected in 3270 mode: " << answer;
  return testing::AssertionSuccess();
}

struct Model {
  const char* name;
  int rows, columns;  // the alternate screen
  uint64_t seed;
};
void PrintTo(const Model& model, std::ostream* out) { *out << model.name; }

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
    ASSERT_TRUE(connect(reference)) << "s3270";
    ASSERT_TRUE(connect(quillon)) << "quillon-script";
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
