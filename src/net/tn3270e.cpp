#include "net/tn3270e.h"

namespace tn3270e {

namespace {

constexpr unsigned char kIac = 255;

void AppendDoubled(Bytes& out, const unsigned char* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    out.push_back(data[i]);
    if (data[i] == kIac) out.push_back(kIac);
  }
}

Bytes FunctionsCommand(unsigned char verb, const Bytes& functions) {
  Bytes out = {kOption, kFunctions, verb};
  AppendDoubled(out, functions.data(), functions.size());
  return out;
}

// A device type or LU name: 1 to `longest` printable ASCII characters, no space.
bool TakeName(const unsigned char* data, size_t length, size_t longest, std::string* out) {
  if (length == 0 || length > longest) return false;
  for (size_t i = 0; i < length; ++i)
    if (data[i] <= 0x20 || data[i] >= 0x7F) return false;
  out->assign(reinterpret_cast<const char*>(data), length);
  return true;
}

bool TakeFunctions(const unsigned char* data, size_t length, Bytes* out) {
  bool seen[256] = {};
  for (size_t i = 0; i < length; ++i) {
    if (data[i] == kIac || seen[data[i]]) return false;
    seen[data[i]] = true;
  }
  out->assign(data, data + length);
  return true;
}

// The message in `length` bytes from `body`; its fields may be half set when
// the kind stays kUnknown.
ServerMessage Read(const unsigned char* body, size_t length) {
  ServerMessage m;
  if (length < 3 || body[0] != kOption) return m;
  const unsigned char command = body[1], verb = body[2];
  const unsigned char* rest = body + 3;
  const size_t restLength = length - 3;

  if (command == kSend && verb == kDeviceType && restLength == 0) {
    m.kind = ServerKind::kSendDeviceType;
  } else if (command == kDeviceType && verb == kReject) {
    if (restLength != 2 || rest[0] != kReason) return m;
    m.kind = ServerKind::kDeviceTypeReject;
    m.reason = rest[1];
  } else if (command == kDeviceType && verb == kIs) {
    // <type> CONNECT <name>: names are printable, so the first CONNECT byte ends the type.
    size_t split = 0;
    while (split < restLength && rest[split] != kConnect) ++split;
    if (split == restLength) return m;
    if (!TakeName(rest, split, kMaxDeviceTypeLength, &m.deviceType) ||
        !TakeName(rest + split + 1, restLength - split - 1, kMaxDeviceNameLength, &m.deviceName))
      return m;
    m.kind = ServerKind::kDeviceTypeIs;
  } else if (command == kFunctions && (verb == kRequest || verb == kIs)) {
    if (!TakeFunctions(rest, restLength, &m.functions)) return m;
    m.kind = verb == kIs ? ServerKind::kFunctionsIs : ServerKind::kFunctionsRequest;
  }
  return m;
}

}  // namespace

const char* ReasonText(unsigned char reason) {
  switch (reason) {
    case kReasonConnPartner: return "the printer is the partner of a terminal";
    case kReasonDeviceInUse: return "the LU is in use";
    case kReasonInvAssociate: return "no terminal to associate the printer with";
    case kReasonInvDeviceName: return "no such LU";
    case kReasonInvDeviceType: return "the device type is not supported";
    case kReasonTypeNameError: return "the LU is not of the device type asked for";
    case kReasonUnknownError: return "an error in the device type or LU name";
    case kReasonUnsupportedReq: return "unsupported request";
    default: return "unknown reason";
  }
}

Bytes DeviceTypeRequest(const std::string& deviceType, const std::string& lu) {
  Bytes out = {kOption, kDeviceType, kRequest};
  AppendDoubled(out, reinterpret_cast<const unsigned char*>(deviceType.data()), deviceType.size());
  if (!lu.empty()) {
    out.push_back(kConnect);
    AppendDoubled(out, reinterpret_cast<const unsigned char*>(lu.data()), lu.size());
  }
  return out;
}

Bytes FunctionsRequest(const Bytes& functions) { return FunctionsCommand(kRequest, functions); }
Bytes FunctionsIs(const Bytes& functions) { return FunctionsCommand(kIs, functions); }

ServerMessage ParseServerMessage(const unsigned char* body, size_t length) {
  if (body == nullptr) return ServerMessage();
  ServerMessage m = Read(body, length);
  if (m.kind == ServerKind::kUnknown) return ServerMessage();  // nothing half-read
  return m;
}

FunctionsDecision DecideFunctions(const Bytes& supported, bool serverSentIs, const Bytes& serverList) {
  bool canUse[256] = {};
  for (unsigned char f : supported) canUse[f] = true;
  Bytes common;
  for (unsigned char f : serverList)
    if (canUse[f]) common.push_back(f);
  const bool all = common.size() == serverList.size();
  if (serverSentIs && !all) return FunctionsDecision();
  const FunctionsAction action =
      serverSentIs ? FunctionsAction::kAccept : all ? FunctionsAction::kSendIs : FunctionsAction::kSendRequest;
  return {action, common};
}

std::string DeviceTypeFor(int model, bool extended) {
  if (model < 2 || model > 5) return std::string();
  std::string type = "IBM-3278-";
  type += static_cast<char>('0' + model);
  if (extended) type += "-E";
  return type;
}

bool ParseHeader(const unsigned char* data, size_t length, Header* out) {
  if (data == nullptr || length < kHeaderSize) return false;
  out->dataType = data[0];
  out->requestFlag = data[1];
  out->responseFlag = data[2];
  out->sequence = static_cast<uint16_t>(data[3] << 8 | data[4]);
  return true;
}

std::array<unsigned char, kHeaderSize> BuildHeader(const Header& h) {
  return {h.dataType, h.requestFlag, h.responseFlag, static_cast<unsigned char>(h.sequence >> 8),
          static_cast<unsigned char>(h.sequence & 0xFF)};
}

namespace {

Bytes Response(const Header& request, unsigned char flag, unsigned char body) {
  Header h;
  h.dataType = kTypeResponse;
  h.responseFlag = flag;
  h.sequence = request.sequence;
  const auto head = BuildHeader(h);
  Bytes out(head.begin(), head.end());
  out.push_back(body);
  return out;
}

}  // namespace

Bytes PositiveResponse(const Header& request) { return Response(request, kPositiveResponse, kDeviceEnd); }
Bytes NegativeResponse(const Header& request, unsigned char sense) {
  return Response(request, kNegativeResponse, sense);
}

}  // namespace tn3270e
