#include "net/tn3270e_session.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "net/socket_io.h"
#include "net/telnet.h"
#include "net/tn3270e.h"
#include "terminal/comm_tcp.h"
#include "tn3270/code_page.h"
#include "tn3270/model_engine.h"

namespace tn3270e {

namespace {


constexpr uint8_t kAidEnter = 0x7D;
constexpr uint8_t kAidClear = 0x6D;
constexpr unsigned char kTelnetIP = 244;
constexpr unsigned char kTelnetAO = 245;

// What the terminal can use, asked for in this order; no printer functions.
const Bytes& supported() {
  static const Bytes kSupported = {kFunctionBindImage, kFunctionResponses, kFunctionSysreq};
  return kSupported;
}

void traceLine(const CommTcp& t, const char* format, ...) {
  if (!t.traceFile) return;
  va_list args;
  va_start(args, format);
  std::fputs("\n\t\t\tTN3270E ", t.traceFile);
  std::vfprintf(t.traceFile, format, args);
  std::fputs("\n", t.traceFile);
  va_end(args);
}

void sendWire(CommTcp& t, Bytes& wire) {
  SendBytes(&t, t.windowHandle, t.socketHandle, t.traceFile, wire.data(), static_cast<int>(wire.size()));
}

void sendCommand(CommTcp& t, unsigned char command, unsigned char option) {
  Bytes wire = {kTelnetIAC, command, option};
  sendWire(t, wire);
}

// IAC SB <body> IAC SE; the body's IACs are doubled already.
void sendSubnegotiation(CommTcp& t, const Bytes& body) {
  Bytes wire = {kTelnetIAC, kTelnetSB};
  wire.insert(wire.end(), body.begin(), body.end());
  wire.push_back(kTelnetIAC);
  wire.push_back(kTelnetSE);
  sendWire(t, wire);
}

// A whole record (header included): 0xFF doubled, IAC EOR after it.
void sendFramed(CommTcp& t, const uint8_t* data, size_t length) {
  Bytes wire;
  wire.reserve(length + length / 8 + 2);
  for (size_t i = 0; i < length; ++i) {
    wire.push_back(data[i]);
    if (data[i] == kTelnetIAC) wire.push_back(kTelnetIAC);
  }
  wire.push_back(kTelnetIAC);
  wire.push_back(kTelnetEOR);
  sendWire(t, wire);
}

uint8_t functionBits(const Bytes& list) {
  uint8_t bits = 0;
  for (unsigned char f : list)
    if (f < 8) bits = static_cast<uint8_t>(bits | 1u << f);
  return bits;
}

std::string functionNames(uint8_t bits) {
  static const char* const kNames[] = {"BIND-IMAGE", "DATA-STREAM-CTL", "RESPONSES", "SCS-CTL-CODES", "SYSREQ"};
  std::string names;
  for (unsigned f = 0; f < 5; ++f)
    if (bits & (1u << f)) names += std::string(names.empty() ? "" : " ") + kNames[f];
  return names.empty() ? "none" : names;
}

// Gives up TN3270E on this connection: IAC WONT, and TN3270 from here on.
void refuse(CommTcp& t, int* mode) {
  sendCommand(t, kTelnetWONT, kOption);
  OnRefused(t, mode);
}

void activate(CommTcp& t, uint8_t functions, int* mode) {
  Tn3270eState& e = t.tn3270e;
  e.phase = Tn3270eState::kActive;
  e.functions = functions;
  const bool bindImage = FunctionAgreed(t, kFunctionBindImage);
  e.bound = bindImage ? 0 : 1;
  e.session = bindImage ? kSessionUnbound : kSessionLuLu;
  e.inputStart = 0;
  model3270::ResetScreen(t.modelScreen, t.modelScreen.model);
  model3270::EraseScreen(t.modelScreen, true);
  model3270::MirrorLegacy(t);
  // Until the BIND there is nothing to type into.
  t.modelLocked = bindImage ? 1 : 0;
  *mode = kMode3270;
  traceLine(t, "agreed: device type %s, LU %s, functions %s", e.deviceType, e.assignedLu,
            functionNames(functions).c_str());
}

// The caption names the assigned LU after the host that the host dialog put
// there ("" takes it away again).
void showLuInCaption(CommTcp& t, const char* lu) {
  if (!t.windowHandle || GetParent(t.windowHandle) != nullptr) return;
  char caption[256] = {};
  GetWindowTextA(t.windowHandle, caption, sizeof caption);
  std::string text = caption;
  const size_t old = text.find("  LU ");
  if (old != std::string::npos) text.erase(old);
  if (lu[0] != '\0') text += std::string("  LU ") + lu;
  if (text != caption) SetWindowTextA(t.windowHandle, text.c_str());
}

void onDeviceTypeIs(CommTcp& t, const ServerMessage& m) {
  Tn3270eState& e = t.tn3270e;
  std::snprintf(e.deviceType, sizeof e.deviceType, "%s", m.deviceType.c_str());
  std::snprintf(e.assignedLu, sizeof e.assignedLu, "%s", m.deviceName.c_str());
  traceLine(t, "device type %s, LU %s assigned", e.deviceType, e.assignedLu);
  e.phase = Tn3270eState::kFunctionsAsked;
  sendSubnegotiation(t, FunctionsRequest(supported()));
  showLuInCaption(t, e.assignedLu);
}

void onReject(CommTcp& t, const ServerMessage& m, int* mode) {
  const std::string lu(t.luName, strnlen(t.luName, sizeof t.luName - 1));
  const std::string asked = lu.empty() ? "the device type " + DeviceTypeFor(t.modelScreen.model.number, t.modelScreen.model.extended)
                                       : "the LU " + lu;
  const std::string text = "The host rejected " + asked + ": " + ReasonText(m.reason) +
                           ". The session goes on without TN3270E.";
  traceLine(t, "DEVICE-TYPE REJECT, reason %u: %s", m.reason, ReasonText(m.reason));
  refuse(t, mode);
  MessageBoxA(t.windowHandle, text.c_str(), "TN3270E", MB_OK);
}

void onFunctions(CommTcp& t, const ServerMessage& m, int* mode) {
  const FunctionsDecision d = DecideFunctions(supported(), m.kind == ServerKind::kFunctionsIs, m.functions);
  switch (d.action) {
    case FunctionsAction::kSendIs:
      sendSubnegotiation(t, FunctionsIs(d.functions));
      activate(t, functionBits(d.functions), mode);
      break;
    case FunctionsAction::kAccept:
      activate(t, functionBits(d.functions), mode);
      break;
    case FunctionsAction::kSendRequest:
      sendSubnegotiation(t, FunctionsRequest(d.functions));
      break;
    case FunctionsAction::kRefuse:
      traceLine(t, "the host's functions include one not asked for");
      refuse(t, mode);
      break;
  }
}

// BIND-IMAGE: the BIND's presentation space names the alternate size (the
// default is always 24 x 80). A size the model cannot show is not taken.
void bind(CommTcp& t, const uint8_t* body, size_t length) {
  ModelScreen& s = t.modelScreen;
  constexpr size_t kScreenSizeByte = 24;
  s.boundRows = s.boundColumns = 0;
  if (length > kScreenSizeByte && body[0] == 0x31 && (body[kScreenSizeByte] == 0x7E || body[kScreenSizeByte] == 0x7F)) {
    const bool own = body[kScreenSizeByte] == 0x7F;  // 0x7E: the alternate is the default size
    const int rows = own ? body[22] : body[20];
    const int columns = own ? body[23] : body[21];
    if (rows >= 1 && columns >= 1 && rows <= AlternateRows(s.model) && columns <= AlternateColumns(s.model)) {
      s.boundRows = static_cast<int16_t>(rows);
      s.boundColumns = static_cast<int16_t>(columns);
    }
  }
  traceLine(t, "BIND: alternate size %d x %d", s.alternateRows(), s.alternateColumns());
  model3270::EraseScreen(s, true);
  s.aid = kAidNone;
  t.tn3270e.bound = 1;
  t.tn3270e.session = kSessionLuLu;
  t.modelLocked = 0;
}

void unbind(CommTcp& t) {
  traceLine(t, "UNBIND: waiting for the next BIND");
  t.modelScreen.boundRows = t.modelScreen.boundColumns = 0;
  model3270::EraseScreen(t.modelScreen, true);
  t.tn3270e.bound = 0;
  t.tn3270e.session = kSessionUnbound;
  t.modelLocked = 1;
}

// The cursor to the start of the next row; from the last row the screen
// moves up a row.
void newLine(ModelScreen& s) {
  const int row = s.cursor / s.columns + 1;
  if (row < s.rows) {
    s.cursor = static_cast<uint16_t>(row * s.columns);
    return;
  }
  const int keep = (s.rows - 1) * s.columns;
  for (int p = 0; p < keep; ++p) s.cells[p] = s.cells[p + s.columns];
  for (int p = keep; p < s.positions(); ++p) s.cells[p] = ModelCell{};
  s.cursor = static_cast<uint16_t>(keep);
}

// SSCP-LU or NVT data: unformatted text from the cursor on.
void showText(CommTcp& t, const uint8_t* body, size_t length, uint8_t session) {
  ModelScreen& s = t.modelScreen;
  Tn3270eState& e = t.tn3270e;
  if (e.session != session) {
    model3270::EraseScreen(s, true);
    e.session = session;
  }
  const bool ascii = session == kSessionNvt;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t b = body[i];
    if (b == 0x0D) {
      s.cursor = static_cast<uint16_t>(s.cursor - s.cursor % s.columns);
    } else if (b == (ascii ? 0x0A : 0x15)) {
      newLine(s);
    } else if (ascii ? b >= 0x20 && b != 0x7F : b >= 0x40 && b != 0xFF) {
      s.cells[model3270::wrap(s, s.cursor)] = ModelCell{ascii ? kLatin1ToEbcdic[b] : b, 0, 0, 0, 0, 0, 0, 0};
      if (s.cursor + 1 < s.positions()) {
        ++s.cursor;
      } else {
        newLine(s);
      }
    }
  }
  e.inputStart = s.cursor;
  s.aid = kAidNone;
  t.modelLocked = 0;
}

// Read Buffer, Read Modified, Read Modified All, in either coding.
bool isReadCommand(uint8_t c) { return c == 0x02 || c == 0xF2 || c == 0x06 || c == 0xF6 || c == 0x0E || c == 0x6E; }

void respond(CommTcp& t, const Bytes& response, const Header& request) {
  traceLine(t, "%s response to record %u", response[2] == kPositiveResponse ? "positive" : "negative",
            request.sequence);
  sendFramed(t, response.data(), response.size());
}

void data3270(CommTcp& t, const Header& h, const uint8_t* body, size_t length) {
  Tn3270eState& e = t.tn3270e;
  if (!e.bound) {
    traceLine(t, "3270 data without a BIND dropped");
    return;
  }
  // The screen of SSCP-LU or NVT text is not the application's.
  if (e.session != kSessionLuLu) model3270::EraseScreen(t.modelScreen, true);
  e.session = kSessionLuLu;
  // A read is acknowledged before its reply goes out.
  const bool read = length > 0 && isReadCommand(body[0]);
  if (read && h.responseFlag == kAlwaysResponse && FunctionAgreed(t, kFunctionResponses)) respond(t, PositiveResponse(h), h);
  const model3270::RecordFault fault = model3270::ProcessRecord(t, body, static_cast<int>(length));
  if (read || !FunctionAgreed(t, kFunctionResponses)) return;
  Bytes response;
  if (fault != model3270::RecordFault::kNone && (h.responseFlag == kErrorResponse || h.responseFlag == kAlwaysResponse)) {
    response = NegativeResponse(
        h, fault == model3270::RecordFault::kCommandReject ? kSenseCommandReject : kSenseOperationCheck);
  } else if (fault == model3270::RecordFault::kNone && h.responseFlag == kAlwaysResponse) {
    response = PositiveResponse(h);
  }
  if (!response.empty()) respond(t, response, h);
}

void sendIacCommand(CommTcp& t, unsigned char command) {
  Bytes wire = {kTelnetIAC, command};
  sendWire(t, wire);
}

}  // namespace

bool Active(const CommTcp& t) { return t.tn3270e.active(); }

bool FunctionAgreed(const CommTcp& t, uint8_t function) {
  return Active(t) && function < 8 && (t.tn3270e.functions & (1u << function)) != 0;
}

void Reset(CommTcp& t) {
  t.tn3270e = Tn3270eState();
  t.tn3270e.wanted = t.terminalType == kTypeIbm3270 && (t.modelScreen.model.extended || ReadTn3270eSetting()) ? 1 : 0;
}

void OnDo(CommTcp& t) {
  Tn3270eState& e = t.tn3270e;
  if (!e.wanted || e.phase == Tn3270eState::kRefused) {
    sendCommand(t, kTelnetWONT, kOption);
    return;
  }
  if (e.phase != Tn3270eState::kOff) return;  // agreed already
  e.phase = Tn3270eState::kOffered;
  sendCommand(t, kTelnetWILL, kOption);
}

void OnRefused(CommTcp& t, int* mode) {
  Tn3270eState& e = t.tn3270e;
  const bool wasActive = e.phase == Tn3270eState::kActive;
  if (e.phase != Tn3270eState::kOff && e.phase != Tn3270eState::kRefused) traceLine(t, "refused: TN3270 from here on");
  e.phase = e.phase == Tn3270eState::kOff ? Tn3270eState::kOff : Tn3270eState::kRefused;
  e.functions = 0;
  e.session = kSessionUnbound;
  e.bound = 0;
  if (e.assignedLu[0] != '\0') showLuInCaption(t, "");
  e.assignedLu[0] = '\0';
  if (wasActive && mode) *mode = 0;
}

void OnSubnegotiation(CommTcp& t, const uint8_t* body, size_t length, int* mode) {
  Tn3270eState& e = t.tn3270e;
  Bytes single;
  single.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    single.push_back(body[i]);
    if (body[i] == kTelnetIAC && i + 1 < length && body[i + 1] == kTelnetIAC) ++i;
  }
  const ServerMessage m = ParseServerMessage(single.data(), single.size());
  const bool negotiating = e.phase >= Tn3270eState::kOffered && e.phase <= Tn3270eState::kFunctionsAsked;
  switch (m.kind) {
    case ServerKind::kSendDeviceType:
      if (!negotiating) break;
      e.phase = Tn3270eState::kDeviceAsked;
      sendSubnegotiation(t, DeviceTypeRequest(DeviceTypeFor(t.modelScreen.model.number, t.modelScreen.model.extended),
                                              std::string(t.luName, strnlen(t.luName, sizeof t.luName - 1))));
      return;
    case ServerKind::kDeviceTypeIs:
      if (e.phase != Tn3270eState::kDeviceAsked) break;
      onDeviceTypeIs(t, m);
      return;
    case ServerKind::kDeviceTypeReject:
      if (e.phase != Tn3270eState::kDeviceAsked) break;
      onReject(t, m, mode);
      return;
    case ServerKind::kFunctionsRequest:
    case ServerKind::kFunctionsIs:
      if (e.phase != Tn3270eState::kFunctionsAsked) break;
      onFunctions(t, m, mode);
      return;
    case ServerKind::kUnknown:
      break;
  }
  traceLine(t, "subnegotiation of %u bytes ignored", static_cast<unsigned>(length));
}

void OnRecord(CommTcp& t, const uint8_t* record, size_t length) {
  Header h;
  if (record == nullptr || !ParseHeader(record, length, &h)) {
    traceLine(t, "record of %u bytes without a whole header dropped", static_cast<unsigned>(length));
    return;
  }
  const uint8_t* body = record + kHeaderSize;
  const size_t n = length - kHeaderSize;
  switch (h.dataType) {
    case kType3270Data: data3270(t, h, body, n); break;
    case kTypeSscpLuData:
      // The SSCP-LU session exists only where the host tells of BINDs.
      if (!FunctionAgreed(t, kFunctionBindImage)) {
        traceLine(t, "SSCP-LU data without BIND-IMAGE ignored");
        return;
      }
      showText(t, body, n, kSessionSscp);
      break;
    case kTypeNvtData: showText(t, body, n, kSessionNvt); break;
    case kTypeBindImage: bind(t, body, n); break;
    case kTypeUnbind: unbind(t); break;
    default: traceLine(t, "record of data type %u ignored", h.dataType); return;
  }
  model3270::MirrorLegacy(t);
}

void SendRecord(CommTcp& t, uint8_t dataType, const uint8_t* body, size_t length) {
  Header h;
  h.dataType = dataType;
  h.sequence = t.tn3270e.sequence++;
  const auto head = BuildHeader(h);
  Bytes record(head.begin(), head.end());
  if (body != nullptr) record.insert(record.end(), body, body + length);
  sendFramed(t, record.data(), record.size());
}

bool TakeAttention(CommTcp& t, uint8_t aid) {
  Tn3270eState& e = t.tn3270e;
  if (!Active(t) || e.session == kSessionLuLu) return false;
  ModelScreen& s = t.modelScreen;
  if (aid == kAidClear) {
    model3270::EraseScreen(s, false);
    e.inputStart = 0;
  } else if (aid == kAidEnter && e.session != kSessionUnbound) {
    // The text typed since the host's last output, nulls left out.
    Bytes text;
    const int n = s.positions();
    for (int p = model3270::wrap(s, e.inputStart); p != s.cursor && static_cast<int>(text.size()) < n;
         p = (p + 1) % n) {
      const uint8_t ch = s.cells[p].ch;
      if (ch != 0) text.push_back(e.session == kSessionNvt ? kEbcdicToLatin1[ch] : ch);
    }
    if (e.session == kSessionNvt) {
      text.push_back('\r');
      text.push_back('\n');
      SendRecord(t, kTypeNvtData, text.data(), text.size());
    } else {
      SendRecord(t, kTypeSscpLuData, text.data(), text.size());
    }
    e.inputStart = s.cursor;
  }
  return true;
}

bool SysReq(CommTcp& t) {
  if (!FunctionAgreed(t, kFunctionSysreq)) return false;
  traceLine(t, "SYSREQ");
  sendIacCommand(t, kTelnetAO);
  // The host answers in the SSCP-LU session (or back in the LU-LU one): the
  // screen starts empty for it.
  Tn3270eState& e = t.tn3270e;
  model3270::EraseScreen(t.modelScreen, true);
  e.session = kSessionSscp;
  e.inputStart = 0;
  t.modelLocked = 0;
  return true;
}

bool Attn(CommTcp& t) {
  if (!FunctionAgreed(t, kFunctionBindImage)) return false;
  traceLine(t, "ATTN");
  sendIacCommand(t, kTelnetIP);
  return true;
}

}  // namespace tn3270e
