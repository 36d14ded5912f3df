#include "tn3270e.h"

#include <cstddef>
#include <cstdio>

#include "session.h"

namespace demohost {
namespace tn3270e {

namespace {

// Messages the negotiation takes before it gives up on a client that keeps
// sending ones it cannot use.
constexpr int kMaxMessages = 16;

char upperCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isLuCharacter(char c, bool first) {
  const char u = upperCase(c);
  return (u >= 'A' && u <= 'Z') || u == '@' || u == '#' || u == '$' || (!first && u >= '0' && u <= '9');
}

// The client's message, or nothing within timeoutMs. Stops early when the
// client withdraws TN3270E; false when it went away.
bool nextMessage(TelnetConnection& tn, int timeoutMs, std::vector<uint8_t>& out) {
  out.clear();
  auto& messages = tn.tn3270eMessages();
  const int64_t deadline = nowMs() + timeoutMs;
  while (messages.empty() && tn.enabledHim(telnet::OPT_TN3270E)) {
    const int64_t left = deadline - nowMs();
    if (left <= 0) return true;
    if (tn.pump(static_cast<int>(left)) == TelnetConnection::Wait::Closed) return false;
  }
  if (!messages.empty()) {
    out.swap(messages.front());
    messages.pop_front();
  }
  return true;
}

void sendReject(TelnetConnection& tn, uint8_t reason) {
  tn.sendSubnegotiation({telnet::OPT_TN3270E, DEVICE_TYPE, REJECT, REASON, reason});
}

}  // namespace

int modelOf(const std::string& type) {
  std::string u;
  for (char c : type) u.push_back(upperCase(c));
  if (u.size() != 10 && u.size() != 12) return 0;
  if (u.compare(0, 8, "IBM-3278") != 0 && u.compare(0, 8, "IBM-3279") != 0) return 0;
  if (u[8] != '-' || u[9] < '2' || u[9] > '5') return 0;
  if (u.size() == 12 && u.compare(10, 2, "-E") != 0) return 0;
  return u[9] - '0';
}

std::string luFor(const std::string& asked, int session) {
  bool plausible = !asked.empty() && asked.size() <= 8;
  for (size_t i = 0; plausible && i < asked.size(); ++i) plausible = isLuCharacter(asked[i], i == 0);
  if (plausible) {
    std::string lu;
    for (char c : asked) lu.push_back(upperCase(c));
    return lu;
  }
  char made[16];
  std::snprintf(made, sizeof made, "QLU%05d", session % 100000);
  return made;
}

std::vector<uint8_t> bindImage(int model) {
  static const uint8_t kAlternate[6][2] = {{24, 80}, {24, 80}, {24, 80}, {32, 80}, {43, 80}, {27, 132}};
  const uint8_t* alternate = kAlternate[model >= 2 && model <= 5 ? model : 2];
  return {
      0x31,                    // BIND
      0x01,                    // format 0, cold
      0x03, 0x03,              // FM and TS profiles 3
      0xB1, 0x90, 0x30, 0x80,  // primary, secondary and common LU protocols
      0x00, 0x00,              // pacing
      0x87, 0x87,              // largest request units: 1024 bytes each way
      0x00,
      0x02,                    // presentation space: LU type 2
      0x80, 0x00, 0x00, 0x00, 0x00, 0x00,
      24, 80,                  // the default screen
      alternate[0], alternate[1],
      0x7F,                    // both sizes as given: the default and the alternate
      0x00,                    // no compression
      0x00,                    // no primary LU name
  };
}

std::string functionNames(const std::vector<uint8_t>& functions) {
  std::string names;
  for (uint8_t f : functions) {
    const char* name = f == FN_BIND_IMAGE ? "BIND-IMAGE" : f == FN_RESPONSES ? "RESPONSES" : f == FN_SYSREQ ? "SYSREQ" : "?";
    names += (names.empty() ? "" : " ") + std::string(name);
  }
  return names.empty() ? "none" : names;
}

bool hasFunction(const std::vector<uint8_t>& functions, uint8_t function) {
  for (uint8_t f : functions)
    if (f == function) return true;
  return false;
}

bool take3270Data(std::vector<uint8_t>& record) {
  if (record.size() < kHeaderSize || record[0] != DT_3270_DATA) return false;
  record.erase(record.begin(), record.begin() + kHeaderSize);
  return true;
}

Outcome negotiate(TelnetConnection& tn, int session, int timeoutMs, Agreement& out) {
  using telnet::OPT_TN3270E;
  bool deviceAgreed = false;
  bool proposed = false;          // the host answered FUNCTIONS REQUEST with its own
  std::vector<uint8_t> proposal;  // ... and these were in it
  tn.sendSubnegotiation({OPT_TN3270E, SEND, DEVICE_TYPE});
  std::vector<uint8_t> m;
  for (int taken = 0; taken < kMaxMessages; ++taken) {
    if (!nextMessage(tn, timeoutMs, m)) return Outcome::Closed;
    if (!tn.enabledHim(OPT_TN3270E)) return Outcome::Refused;  // the client's IAC WONT
    if (m.empty()) break;                                      // nothing in time
    if (m.size() < 3) continue;
    const uint8_t command = m[1], verb = m[2];

    if (!deviceAgreed && command == DEVICE_TYPE && verb == REQUEST) {
      // <type> [CONNECT <lu> | ASSOCIATE <lu>]
      size_t end = 3;
      while (end < m.size() && m[end] != CONNECT && m[end] != ASSOCIATE) ++end;
      const std::string type(m.begin() + 3, m.begin() + static_cast<std::ptrdiff_t>(end));
      const int model = modelOf(type);
      if (model == 0) {
        sendReject(tn, REASON_INV_DEVICE_TYPE);
        continue;
      }
      if (end < m.size() && m[end] == ASSOCIATE) {  // a printer's request; there are none here
        sendReject(tn, REASON_INV_ASSOCIATE);
        continue;
      }
      const std::string asked = end < m.size() ? std::string(m.begin() + static_cast<std::ptrdiff_t>(end) + 1, m.end()) : "";
      out.deviceType = type;
      out.model = model;
      out.lu = luFor(asked, session);
      std::vector<uint8_t> is{OPT_TN3270E, DEVICE_TYPE, IS};
      is.insert(is.end(), type.begin(), type.end());
      is.push_back(CONNECT);
      is.insert(is.end(), out.lu.begin(), out.lu.end());
      tn.sendSubnegotiation(is);
      deviceAgreed = true;
    } else if (deviceAgreed && command == FUNCTIONS && verb == REQUEST) {
      // The client's functions this host has, each once, in the client's order.
      std::vector<uint8_t> common;
      for (size_t i = 3; i < m.size(); ++i) {
        const uint8_t f = m[i];
        if ((f == FN_BIND_IMAGE || f == FN_RESPONSES || f == FN_SYSREQ) && !hasFunction(common, f)) common.push_back(f);
      }
      if (common.size() == m.size() - 3) {
        std::vector<uint8_t> is{OPT_TN3270E, FUNCTIONS, IS};
        is.insert(is.end(), common.begin(), common.end());
        tn.sendSubnegotiation(is);
        out.functions = common;
        return Outcome::Agreed;
      }
      std::vector<uint8_t> request{OPT_TN3270E, FUNCTIONS, REQUEST};
      request.insert(request.end(), common.begin(), common.end());
      tn.sendSubnegotiation(request);
      proposed = true;
      proposal = common;
    } else if (proposed && command == FUNCTIONS && verb == IS) {
      // The client takes the host's list, or part of it; anything else ends TN3270E.
      std::vector<uint8_t> taken;
      bool fits = true;
      for (size_t i = 3; i < m.size() && fits; ++i) {
        fits = hasFunction(proposal, m[i]) && !hasFunction(taken, m[i]);
        taken.push_back(m[i]);
      }
      if (!fits) break;
      out.functions = taken;
      return Outcome::Agreed;
    }
    // Any other message is out of place here and ignored.
  }
  tn.stopHim(OPT_TN3270E);
  return Outcome::Refused;
}

}  // namespace tn3270e
}  // namespace demohost
