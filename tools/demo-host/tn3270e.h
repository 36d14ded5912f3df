// TN3270E (RFC 2355) on the host's side: the negotiation that follows the
// client's IAC WILL TN3270E (its device type, the LU it gets, the functions
// both agree on), the BIND image sent when the client takes BIND-IMAGE, and
// the header of the records the client sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "telnet.h"

namespace demohost {
namespace tn3270e {

// Subnegotiation commands.
constexpr uint8_t ASSOCIATE = 0, CONNECT = 1, DEVICE_TYPE = 2, FUNCTIONS = 3, IS = 4, REASON = 5, REJECT = 6,
                  REQUEST = 7, SEND = 8;
// Why a DEVICE-TYPE REQUEST is turned down.
constexpr uint8_t REASON_INV_ASSOCIATE = 2, REASON_INV_DEVICE_TYPE = 4;
// The functions this host agrees to.
constexpr uint8_t FN_BIND_IMAGE = 0, FN_RESPONSES = 2, FN_SYSREQ = 4;
// Data types of the record header.
constexpr uint8_t DT_3270_DATA = 0, DT_RESPONSE = 2, DT_BIND_IMAGE = 3;
constexpr size_t kHeaderSize = 5;

// The model (2 to 5) that a display device type names: "IBM-3278-2" up to
// "IBM-3279-5-E", in any case; 0 for any other type.
int modelOf(const std::string& deviceType);

// The LU a session gets: the one the client asked for when it is a plausible
// LU name (1 to 8 letters, digits, @, # or $, not starting with a digit), in
// capitals; otherwise one made from the session number, "QLU00001".
std::string luFor(const std::string& asked, int session);

// The BIND of an LU type 2 session for a display of the given model: the
// default screen 24x80, the alternate the model's own.
std::vector<uint8_t> bindImage(int model);

// "BIND-IMAGE RESPONSES SYSREQ", or "none".
std::string functionNames(const std::vector<uint8_t>& functions);
bool hasFunction(const std::vector<uint8_t>& functions, uint8_t function);

// A whole record the client sent under TN3270E: true, its header taken off,
// for 3270 data; false for anything else (a response, another data type, a
// record shorter than a header), which the application does not see.
bool take3270Data(std::vector<uint8_t>& record);

struct Agreement {
  std::string deviceType;  // as the client named it
  int model = 0;
  std::string lu;
  std::vector<uint8_t> functions;  // in the order the client named them
};

enum class Outcome { Agreed, Refused, Closed };

// Runs the negotiation once the client has agreed to TN3270E: SEND
// DEVICE-TYPE, the client's DEVICE-TYPE REQUEST answered with IS (or REJECT,
// after which it may ask again), then its FUNCTIONS REQUEST answered with IS
// or with a REQUEST of the functions this host has, which the client confirms
// with IS. Each step waits up to timeoutMs; the number of messages taken is
// bounded. Refused when the client withdrew (IAC WONT) or the negotiation
// came to nothing, in which case the host has sent IAC DONT TN3270E.
Outcome negotiate(TelnetConnection& tn, int session, int timeoutMs, Agreement& out);

}  // namespace tn3270e
}  // namespace demohost
