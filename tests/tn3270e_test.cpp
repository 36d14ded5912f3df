// TN3270E: subnegotiations both ways, the choice of functions, the device
// type, the header and the response records. Bytes are written as strings:
// "\x28" is the option, 40.
#include <gtest/gtest.h>

#include <string>

#include "net/tn3270e.h"

namespace {

using namespace std::string_literals;
using tn3270e::Bytes;
using tn3270e::ServerKind;

Bytes W(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Tn3270e, ClientSubnegotiations) {
  EXPECT_EQ(tn3270e::DeviceTypeRequest("IBM-3278-2", ""), W("\x28\x02\x07IBM-3278-2"));
  EXPECT_EQ(tn3270e::DeviceTypeRequest("IBM-3278-4-E", "LU0012"), W("\x28\x02\x07IBM-3278-4-E\x01LU0012"));
  EXPECT_EQ(tn3270e::DeviceTypeRequest("T\xFF", "\xFFZ"), W("\x28\x02\x07T\xFF\xFF\x01\xFF\xFFZ"));
  EXPECT_EQ(tn3270e::FunctionsRequest(W("\x00\x02\x04"s)), W("\x28\x03\x07\x00\x02\x04"s));
  EXPECT_EQ(tn3270e::FunctionsIs(W("\xFF\x01")), W("\x28\x03\x04\xFF\xFF\x01"));
  EXPECT_EQ(tn3270e::FunctionsIs(Bytes()), W("\x28\x03\x04"));
}

TEST(Tn3270e, ServerMessages) {
  const std::string is = "\x28\x02\x04IBM-3278-2\x01";
  const struct {
    std::string body;
    ServerKind kind;
    std::string type, name;
    int reason;
    std::string functions;
  } read[] = {
      {"\x28\x08\x02", ServerKind::kSendDeviceType, "", "", 0, ""},
      {is + "TCP00042", ServerKind::kDeviceTypeIs, "IBM-3278-2", "TCP00042", 0, ""},
      {"\x28\x02\x04" + std::string(40, 'T') + "\x01L", ServerKind::kDeviceTypeIs, std::string(40, 'T'), "L", 0, ""},
      {"\x28\x02\x06\x05\x01", ServerKind::kDeviceTypeReject, "", "", 1, ""},
      {"\x28\x02\x06\x05\xC8", ServerKind::kDeviceTypeReject, "", "", 200, ""},
      {"\x28\x03\x07\x02\x00\x09"s, ServerKind::kFunctionsRequest, "", "", 0, "\x02\x00\x09"s},
      {"\x28\x03\x04", ServerKind::kFunctionsIs, "", "", 0, ""},
  };
  for (const auto& c : read) {
    const Bytes body = W(c.body);  // exactly sized: a read past it is a sanitizer error
    const tn3270e::ServerMessage m = tn3270e::ParseServerMessage(body.data(), body.size());
    EXPECT_EQ(m.kind, c.kind) << testing::PrintToString(body);
    EXPECT_EQ(m.deviceType, c.type);
    EXPECT_EQ(m.deviceName, c.name);
    EXPECT_EQ(m.reason, c.reason);
    EXPECT_EQ(m.functions, W(c.functions));
  }

  const std::string refused[] = {
      "", "\x28", "\x18\x08\x02", "\x28\x08\x02\x00"s, "\x28\x08\x03", "\x28\x02\x04IBM-3278-2",
      "\x28\x02\x04\x01LU1", is, "\x28\x02\x04" + std::string(41, 'T') + "\x01L", is + "LU0000001", is + "LU 1",
      is + "LU\x01X", "\x28\x02\x04T\xFF\x01L", is + "\xC1", "\x28\x02\x06", "\x28\x02\x06\x01",
      "\x28\x02\x06\x05\x01\x00"s, "\x28\x02\x07IBM-3278-2", "\x28\x03\x07\x02\x02", "\x28\x03\x04\xFF",
      "\x28\x03\x06\x05\x01"};
  for (const std::string& s : refused) {
    const Bytes body = W(s);
    const tn3270e::ServerMessage m = tn3270e::ParseServerMessage(body.data(), body.size());
    EXPECT_EQ(m.kind, ServerKind::kUnknown) << testing::PrintToString(body);
    EXPECT_TRUE(m.deviceType.empty() && m.deviceName.empty() && m.functions.empty());
  }
  EXPECT_EQ(tn3270e::ParseServerMessage(nullptr, 5).kind, ServerKind::kUnknown);
  // Every cut of DEVICE-TYPE IS short of the LU name's first character.
  for (size_t n = 0; n <= is.size(); ++n) {
    const Bytes cut = W(is.substr(0, n));
    EXPECT_EQ(tn3270e::ParseServerMessage(cut.data(), cut.size()).kind, ServerKind::kUnknown) << n;
  }
}

TEST(Tn3270e, FunctionsAnswers) {
  using A = tn3270e::FunctionsAction;
  const Bytes client = W("\x00\x02\x04"s);  // BIND-IMAGE, RESPONSES, SYSREQ
  const struct {
    bool serverSentIs;
    std::string server;
    A action;
    std::string answer;
  } cases[] = {
      {false, "\x04\x02\x00"s, A::kSendIs, "\x04\x02\x00"s},  // same list
      {false, "\x02", A::kSendIs, "\x02"},                      // subset
      {false, "", A::kSendIs, ""},
      {false, "\x00\x01\x02\x03\x04"s, A::kSendRequest, "\x00\x02\x04"s},  // superset
      {false, "\x03\x02", A::kSendRequest, "\x02"},                         // overlap
      {false, "\x01\x03", A::kSendRequest, ""},                             // disjoint
      {true, "\x00\x02\x04"s, A::kAccept, "\x00\x02\x04"s},
      {true, "\x02", A::kAccept, "\x02"},
      {true, "\x02\x03", A::kRefuse, ""},  // one never offered
  };
  for (const auto& c : cases) {
    const tn3270e::FunctionsDecision d = tn3270e::DecideFunctions(client, c.serverSentIs, W(c.server));
    EXPECT_EQ(d.action, c.action) << c.serverSentIs << testing::PrintToString(W(c.server));
    EXPECT_EQ(d.functions, W(c.answer));
  }
}

TEST(Tn3270e, DeviceTypesAndReasonTexts) {
  EXPECT_EQ(tn3270e::DeviceTypeFor(2, false), "IBM-3278-2");
  EXPECT_EQ(tn3270e::DeviceTypeFor(3, true), "IBM-3278-3-E");
  EXPECT_EQ(tn3270e::DeviceTypeFor(5, true), "IBM-3278-5-E");
  EXPECT_EQ(tn3270e::DeviceTypeFor(1, false), "");
  EXPECT_EQ(tn3270e::DeviceTypeFor(6, true), "");
  EXPECT_STREQ(tn3270e::ReasonText(tn3270e::kReasonDeviceInUse), "the LU is in use");
  EXPECT_STREQ(tn3270e::ReasonText(tn3270e::kReasonInvDeviceName), "no such LU");
  EXPECT_STREQ(tn3270e::ReasonText(8), "unknown reason");
  for (int a = 0; a < 8; ++a)
    for (int b = a + 1; b < 8; ++b) EXPECT_STRNE(tn3270e::ReasonText(a), tn3270e::ReasonText(b));
}

TEST(Tn3270e, HeaderAndResponses) {
  const Bytes wire = W("\x01\x11\x02\x12\xFF");
  tn3270e::Header h;
  ASSERT_TRUE(tn3270e::ParseHeader(wire.data(), wire.size(), &h));
  EXPECT_EQ(h.dataType, tn3270e::kTypeScsData);
  EXPECT_EQ(h.requestFlag, 0x11);
  EXPECT_EQ(h.responseFlag, tn3270e::kAlwaysResponse);
  EXPECT_EQ(h.sequence, 0x12FF);
  const auto back = tn3270e::BuildHeader(h);
  EXPECT_EQ(Bytes(back.begin(), back.end()), wire);
  for (size_t n = 0; n < tn3270e::kHeaderSize; ++n) {
    const Bytes cut(wire.begin(), wire.begin() + n);
    tn3270e::Header untouched;
    EXPECT_FALSE(tn3270e::ParseHeader(cut.data(), cut.size(), &untouched)) << n;
    EXPECT_EQ(untouched.sequence, 0);
  }

  EXPECT_EQ(tn3270e::PositiveResponse(h), W("\x02\x00\x00\x12\xFF\x00"s));
  EXPECT_EQ(tn3270e::NegativeResponse(h, tn3270e::kSenseInterventionRequired), W("\x02\x00\x01\x12\xFF\x01"s));
  EXPECT_EQ(tn3270e::NegativeResponse(h, tn3270e::kSenseComponentDisconnected), W("\x02\x00\x01\x12\xFF\x03"s));
}

}  // namespace
