// The TN3270E session of a connection: the option's negotiation (device type,
// LU, functions), the five-byte header of every record in and out, the
// responses the host asks for, the SSCP-LU and NVT data shown as text, BIND and
// UNBIND, and the SYSREQ and ATTN keys.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quillon_api.h"

class CommTcp;

// What a connection holds of TN3270E (a member of the terminal object).
struct Tn3270eState {
  enum : uint8_t {
    kOff,              // not offered
    kOffered,          // IAC WILL sent
    kDeviceAsked,      // DEVICE-TYPE REQUEST sent
    kFunctionsAsked,   // FUNCTIONS REQUEST sent
    kActive,           // functions agreed: records carry headers
    kRefused,          // refused by either side: TN3270 from here on
  };
  uint8_t wanted = 0;     // agree when the host asks: an -E model, or [3270] TN3270E=1
  uint8_t phase = kOff;
  uint8_t functions = 0;  // the functions in force, a bit (1 << code) each
  uint8_t session = 0;    // a kSession* value: which session the screen shows
  uint8_t bound = 0;      // the LU-LU session exists (BIND-IMAGE not agreed, or a BIND came)
  uint16_t inputStart = 0;  // SSCP-LU and NVT text: where the operator's input begins
  uint16_t sequence = 0;    // the sequence number of the terminal's next record
  char deviceType[41]{};  // as the host confirmed it
  char assignedLu[9]{};   // the LU the host assigned

  bool active() const { return phase == kActive; }
};

namespace tn3270e {

// Which session the records of an agreed TN3270E belong to.
enum : uint8_t {
  kSessionUnbound = 0,  // BIND-IMAGE agreed, no BIND yet (or after UNBIND): nothing to show
  kSessionLuLu = 1,     // 3270 data to and from the application
  kSessionSscp = 2,     // SSCP-LU data: unformatted text to and from the SSCP
  kSessionNvt = 3,      // NVT data: unformatted ASCII text
};

// Whether TN3270E is agreed on this connection: every record has a header.
bool Active(const CommTcp& t);
bool FunctionAgreed(const CommTcp& t, uint8_t function);

// A new connection: nothing agreed; `wanted` from the model and the settings.
void Reset(CommTcp& t);

// The host's IAC DO TN3270E: agreed (IAC WILL) when wanted and not refused
// before on this connection, else refused (IAC WONT).
void OnDo(CommTcp& t);
// The host's IAC DONT or WONT TN3270E: the session falls back to TN3270
// (the mode goes back to NVT until TN3270 is negotiated).
void OnRefused(CommTcp& t, int* mode);
// A TN3270E subnegotiation, `body` from the option byte on, IACs still
// doubled, without the closing IAC SE.
void OnSubnegotiation(CommTcp& t, const uint8_t* body, size_t length, int* mode);

// One complete record of an agreed TN3270E, header first, IACs single.
void OnRecord(CommTcp& t, const uint8_t* record, size_t length);

// Sends a record: its header (data type, flags 0, the terminal's next
// sequence number), the body with every 0xFF doubled, and IAC EOR.
void SendRecord(CommTcp& t, uint8_t dataType, const uint8_t* body, size_t length);

// An attention key on the model screen while TN3270E is agreed and the screen
// is not in the LU-LU session: Enter sends the operator's text to the SSCP (or
// as NVT data), Clear erases the screen, the others do nothing. True when the
// key was handled here.
bool TakeAttention(CommTcp& t, uint8_t aid);

// The SYSREQ key: IAC AO when the SYSREQ function is agreed, and the screen
// is erased for the SSCP-LU session the host switches to. False when it is
// not agreed.
QUILLON_API bool SysReq(CommTcp& t);
// The ATTN key: IAC IP when BIND-IMAGE is agreed (the host has SNA sessions
// to interrupt). False when it is not.
QUILLON_API bool Attn(CommTcp& t);

}  // namespace tn3270e
