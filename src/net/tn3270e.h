// TN3270E (RFC 2355), the Telnet option under which the client asks for a
// device type, a given LU and a set of functions, and every 3270 record
// travels behind a five-byte header. Here: the option's codes, the client's
// subnegotiations, a reader of the server's, the choice of functions, and the
// header and response records. Nothing here touches a connection: the Telnet
// engine wraps each subnegotiation body in IAC SB ... IAC SE and each record
// in its IAC doubling and IAC EOR.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tn3270e {

using Bytes = std::vector<unsigned char>;

// The Telnet option.
constexpr unsigned char kOption = 40;

// Subnegotiation commands.
enum : unsigned char {
  kAssociate = 0,
  kConnect = 1,
  kDeviceType = 2,
  kFunctions = 3,
  kIs = 4,
  kReason = 5,
  kReject = 6,
  kRequest = 7,
  kSend = 8,
};

// Why the server refuses a DEVICE-TYPE REQUEST.
enum : unsigned char {
  kReasonConnPartner = 0,
  kReasonDeviceInUse = 1,
  kReasonInvAssociate = 2,
  kReasonInvDeviceName = 3,
  kReasonInvDeviceType = 4,
  kReasonTypeNameError = 5,
  kReasonUnknownError = 6,
  kReasonUnsupportedReq = 7,
};

// A short text for a message box ("the LU is in use"); "unknown reason" for a
// code outside 0..7.
const char* ReasonText(unsigned char reason);

// Functions.
enum : unsigned char {
  kFunctionBindImage = 0,
  kFunctionDataStreamCtl = 1,
  kFunctionResponses = 2,
  kFunctionScsCtlCodes = 3,
  kFunctionSysreq = 4,
};

// Data types of the header.
enum : unsigned char {
  kType3270Data = 0,
  kTypeScsData = 1,
  kTypeResponse = 2,
  kTypeBindImage = 3,
  kTypeUnbind = 4,
  kTypeNvtData = 5,
  kTypeRequest = 6,
  kTypeSscpLuData = 7,
  kTypePrintEoj = 8,
};

// The request flag, meaningful with data type REQUEST only.
constexpr unsigned char kRequestErrCondCleared = 0;

// The response flag: of 3270-DATA and SCS-DATA, whether the host wants an
// answer; of RESPONSE, which answer it is.
enum : unsigned char {
  kNoResponse = 0,
  kErrorResponse = 1,
  kAlwaysResponse = 2,
};
enum : unsigned char {
  kPositiveResponse = 0,
  kNegativeResponse = 1,
};

// The one byte after the header of a response: Device End for a positive
// one, the device's sense for a negative one.
constexpr unsigned char kDeviceEnd = 0;
enum : unsigned char {
  kSenseCommandReject = 0,
  kSenseInterventionRequired = 1,
  kSenseOperationCheck = 2,
  kSenseComponentDisconnected = 3,
};

// Longest names the server may send: a terminal type name is at most 40
// characters, an LU name at most 8.
constexpr size_t kMaxDeviceTypeLength = 40;
constexpr size_t kMaxDeviceNameLength = 8;

// The client's subnegotiation bodies, from the option byte on. A byte 255
// (IAC) in a name or list is doubled.
// DEVICE-TYPE REQUEST <type>, then CONNECT <lu> unless `lu` is empty.
Bytes DeviceTypeRequest(const std::string& deviceType, const std::string& lu);
Bytes FunctionsRequest(const Bytes& functions);
Bytes FunctionsIs(const Bytes& functions);

// What the server sent.
enum class ServerKind {
  kUnknown,           // not one of the below, cut short, too long or with bad bytes
  kSendDeviceType,    // SEND DEVICE-TYPE
  kDeviceTypeIs,      // DEVICE-TYPE IS <type> CONNECT <name>
  kDeviceTypeReject,  // DEVICE-TYPE REJECT REASON <code>
  kFunctionsRequest,  // FUNCTIONS REQUEST <list>
  kFunctionsIs,       // FUNCTIONS IS <list>
};

struct ServerMessage {
  ServerKind kind = ServerKind::kUnknown;
  std::string deviceType;  // of DEVICE-TYPE IS
  std::string deviceName;  // the LU of DEVICE-TYPE IS
  unsigned char reason = 0;  // of DEVICE-TYPE REJECT
  Bytes functions;           // of FUNCTIONS, in the server's order
};

// Reads the `length` bytes of a server's subnegotiation body (option byte on,
// doubled IACs already made single). Names must be 1 to the longest above
// printable ASCII characters without space; a function list must not repeat
// a code nor hold 255. Anything else is kUnknown, with the other fields empty.
ServerMessage ParseServerMessage(const unsigned char* body, size_t length);

// The client's answer to the server's FUNCTIONS, whose list `serverList` is
// as ParseServerMessage read it. `supported` is what the client can use (its
// first REQUEST named them all, later ones fewer).
// - REQUEST whose every function is supported: answer IS with that list.
// - REQUEST naming any other: answer REQUEST with the ones supported, in the
//   server's order (possibly none); the server then answers IS or narrows it.
// - IS whose every function is supported: take it, those are now in force.
// - IS naming any other: refuse it, the session cannot go on under TN3270E.
enum class FunctionsAction { kSendIs, kSendRequest, kAccept, kRefuse };
struct FunctionsDecision {
  FunctionsAction action = FunctionsAction::kRefuse;
  Bytes functions;  // the list to send, or the one in force; empty for kRefuse
};
FunctionsDecision DecideFunctions(const Bytes& supported, bool serverSentIs, const Bytes& serverList);

// The device type asked for: "IBM-3278-2" .. "IBM-3278-5", "-E" added for the
// extended data stream; empty for a model outside 2..5. A 3279 asks as the
// 3278 of its size: its colours are told in the query reply instead.
std::string DeviceTypeFor(int model, bool extended);

// The header in front of every record.
constexpr size_t kHeaderSize = 5;
struct Header {
  unsigned char dataType = kType3270Data;
  unsigned char requestFlag = 0;
  unsigned char responseFlag = 0;
  uint16_t sequence = 0;  // sent high byte first
};
// False, and *out untouched, for fewer than kHeaderSize bytes.
bool ParseHeader(const unsigned char* data, size_t length, Header* out);
std::array<unsigned char, kHeaderSize> BuildHeader(const Header& header);

// The record answering the host's record with header `request`: a RESPONSE
// header with the same sequence number, then Device End, or `sense` (one of
// kSense*) for a negative response.
Bytes PositiveResponse(const Header& request);
Bytes NegativeResponse(const Header& request, unsigned char sense);

}  // namespace tn3270e
