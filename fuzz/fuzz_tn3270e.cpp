// TN3270E through the Telnet engine: a terminal whose model takes TN3270E
// (an "-E" model, or another with the option forced on as the settings do)
// meets the host's IAC DO TN3270E, the subnegotiations (SEND DEVICE-TYPE,
// DEVICE-TYPE IS and REJECT, FUNCTIONS REQUEST and IS with any list), then
// records behind any header (every data type, response flag and sequence
// number), cut anywhere between reads, with the operator's keys in between:
// typing, Enter, PF1, PA1, Clear, SYSREQ and ATTN, through the window's own
// paths.
//
// Input: a first byte (bits 0..2: the model, from the table below; bit 3:
// trace log; bit 4: an LU name asked for; bit 5: the negotiation played
// first, its FUNCTIONS IS taken from the next byte; bit 6: each read in a
// buffer of exactly its size rather than the window's receive buffer; bit 7:
// a record handler that takes the whole screen), then steps, each an
// operation byte whose bits 0..2 pick:
//   0  raw bytes from the host: a length byte, then that many bytes (one read)
//   1  a record: five header bytes, a length byte and the body; 0xFF doubled,
//      IAC EOR after it, cut in two reads where the next byte says
//   2  a TN3270E subnegotiation: a length byte and the body after the option
//   3  a prepared message (bits 3..7): DO, DONT or WONT TN3270E, SEND
//      DEVICE-TYPE, DEVICE-TYPE IS, DEVICE-TYPE REJECT (the reason from the
//      next byte), FUNCTIONS IS or REQUEST (the list from the next byte's
//      bits), or DO and WILL of END-OF-RECORD and BINARY (TN3270 instead)
//   4  SYSREQ, 5 ATTN (the menu commands)
//   6  a key (bits 3..5): Enter, PF1, PA1, Clear, Tab, or a character typed
//   7  IAC AO, IAC IP, IAC EOR alone, or a NOP from the host (bits 3..4)
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "net/telnet.h"
#include "net/tn3270e.h"
#include "net/tn3270e_session.h"
#include "tn3270/model_engine.h"
#include "ui/resource.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kModels[8] = {"3278-2-E", "3279-2-E", "3278-3-E", "3279-4-E",
                                    "3279-5-E", "3278-4-E", "3278-2",   "3279-5"};
constexpr int kMaxSteps = 128;
constexpr uint8_t kIac = 0xFF, kSb = 0xFA, kSe = 0xF0, kEor = 0xEF;

bool g_exactReads = false;

void checkScreen(const ModelScreen& s) {
  const int n = s.positions();
  if (n <= 0 || n > kMaxModelPositions || s.cursor >= n || s.bufferAddress >= n) __builtin_trap();
}

// One read from the host, as RecvData hands it to the Telnet engine.
void hostRead(const Bytes& piece) {
  fuzz::Session& s = fuzz::session();
  if (!fuzz::sessionAlive()) return;
  CommTcp& t = *s.t;
  if (g_exactReads) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[piece.size() + 1]);
    if (!piece.empty()) std::memcpy(copy.get(), piece.data(), piece.size());
    ParseData(s.window, t.socketHandle, t.traceFile, copy.get(), static_cast<int>(piece.size()), &t.terminalMode);
    return;
  }
  size_t done = 0;
  do {
    const size_t n = std::min(piece.size() - done, static_cast<size_t>(std::max(t.receiveRoom(), 0)));
    if (n > 0) std::memcpy(t.receiveBuffer, piece.data() + done, n);
    ParseData(s.window, t.socketHandle, t.traceFile, t.receiveBuffer, static_cast<int>(n), &t.terminalMode);
    done += n;
  } while (done < piece.size() && fuzz::sessionAlive());
}

void appendDoubled(Bytes& out, const Bytes& data) {
  for (uint8_t b : data) {
    out.push_back(b);
    if (b == kIac) out.push_back(kIac);
  }
}

Bytes subnegotiation(const Bytes& body) {
  Bytes wire = {kIac, kSb, tn3270e::kOption};
  appendDoubled(wire, body);
  wire.push_back(kIac);
  wire.push_back(kSe);
  return wire;
}

// Bits 0..7 of `bits` name functions 0..7, in that order.
Bytes functionList(uint8_t bits) {
  Bytes list;
  for (uint8_t f = 0; f < 8; ++f)
    if (bits & (1u << f)) list.push_back(f);
  return list;
}

Bytes deviceTypeIs() {
  const char kIs[] = "IBM-3278-2-E\x01QLU00001";
  Bytes body = {tn3270e::kDeviceType, tn3270e::kIs};
  body.insert(body.end(), kIs, kIs + sizeof kIs - 1);
  return subnegotiation(body);
}

Bytes prepared(uint8_t which, fuzz::Reader& in) {
  switch (which % 9) {
    case 0: return {kIac, 0xFD, tn3270e::kOption};
    case 1: return {kIac, 0xFE, tn3270e::kOption};
    case 2: return {kIac, 0xFC, tn3270e::kOption};
    case 3: return subnegotiation({tn3270e::kSend, tn3270e::kDeviceType});
    case 4: return deviceTypeIs();
    case 5: return subnegotiation({tn3270e::kDeviceType, tn3270e::kReject, tn3270e::kReason, in.byte()});
    case 6:
    case 7: {
      Bytes body = {tn3270e::kFunctions, which % 9 == 6 ? tn3270e::kIs : tn3270e::kRequest};
      const Bytes list = functionList(in.byte());
      body.insert(body.end(), list.begin(), list.end());
      return subnegotiation(body);
    }
    default: return {kIac, 0xFD, 0x19, kIac, 0xFB, 0x19, kIac, 0xFD, 0x00, kIac, 0xFB, 0x00};
  }
}

void key(uint8_t which, fuzz::Reader& in) {
  const HWND w = fuzz::session().window;
  switch (which & 7) {
    case 0: SendMessageA(w, WM_CHAR, 13, 0); break;
    case 1: SendMessageA(w, WM_KEYDOWN, VK_F1, 0); break;
    case 2: SendMessageA(w, WM_COMMAND, IDM_PA1, 0); break;
    case 3: SendMessageA(w, WM_COMMAND, IDM_CLEARKEY, 0); break;
    case 4: SendMessageA(w, WM_CHAR, 9, 0); break;
    default: SendMessageA(w, WM_CHAR, 0x20 + in.byte() % 0x5F, 0); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Session& s = fuzz::session();
  fuzz::resetTerminal(fuzz::Mode::kIbm3270);
  fuzz::Reader in(data, size);
  const uint8_t head = in.byte();
  {
    CommTcp& t = *s.t;
    TerminalModel model;
    ParseTerminalModel(kModels[head & 7], &model);
    model3270::ResetScreen(t.modelScreen, model);
    t.modelLocked = 0;
    // Before the negotiation: NVT, as a new connection starts.
    t.terminalMode = 0;
    std::memset(t.luName, 0, sizeof t.luName);
    if (head & 0x10) std::memcpy(t.luName, "LUNAME01", 8);
    tn3270e::Reset(t);
    t.tn3270e.wanted = 1;  // an -E model, or the option forced on by the settings
    t.traceFile = (head & 8) ? s.trace : nullptr;
    g_exactReads = (head & 0x40) != 0;
    if (head & 0x80) fuzz::installRecordHandler();
  }
  if (head & 0x20) {
    Bytes prelude = {kIac, 0xFD, tn3270e::kOption};
    const Bytes send = subnegotiation({tn3270e::kSend, tn3270e::kDeviceType});
    const Bytes is = deviceTypeIs();
    prelude.insert(prelude.end(), send.begin(), send.end());
    prelude.insert(prelude.end(), is.begin(), is.end());
    Bytes body = {tn3270e::kFunctions, tn3270e::kIs};
    const Bytes list = functionList(in.byte() & 0x15);  // BIND-IMAGE, RESPONSES, SYSREQ
    body.insert(body.end(), list.begin(), list.end());
    const Bytes agreed = subnegotiation(body);
    prelude.insert(prelude.end(), agreed.begin(), agreed.end());
    hostRead(prelude);
  }

  for (int step = 0; step < kMaxSteps && !in.empty() && fuzz::sessionAlive(); ++step) {
    const uint8_t op = in.byte();
    switch (op & 7) {
      case 0: hostRead(in.bytes(in.byte())); break;
      case 1: {
        const Bytes header = in.bytes(tn3270e::kHeaderSize);
        const Bytes body = in.bytes(in.byte());
        Bytes wire;
        appendDoubled(wire, header);
        appendDoubled(wire, body);
        wire.push_back(kIac);
        wire.push_back(kEor);
        const size_t cut = in.byte() % (wire.size() + 1);
        hostRead(Bytes(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(cut)));
        hostRead(Bytes(wire.begin() + static_cast<std::ptrdiff_t>(cut), wire.end()));
        break;
      }
      case 2: hostRead(subnegotiation(in.bytes(in.byte()))); break;
      case 3: hostRead(prepared(op >> 3, in)); break;
      case 4: SendMessageA(s.window, WM_COMMAND, IDM_SYSREQ, 0); break;
      case 5: SendMessageA(s.window, WM_COMMAND, IDM_ATTN, 0); break;
      case 6: key(op >> 3, in); break;
      case 7: {
        static const uint8_t kCommands[4] = {0xF5, 0xF4, kEor, 0xF1};  // AO, IP, EOR, NOP
        hostRead({kIac, kCommands[(op >> 3) & 3]});
        break;
      }
    }
    if (fuzz::sessionAlive()) checkScreen(s.t->modelScreen);
  }
  fuzz::pump();
  if (fuzz::sessionAlive()) s.t->traceFile = nullptr;
  fuzz::finishInput();
  return 0;
}
