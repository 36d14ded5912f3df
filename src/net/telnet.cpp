#include "net/telnet.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "net/socket_io.h"
#include "net/tn3270e.h"
#include "tn3270/inbound_records.h"
#include "tn3270/terminal_model.h"
#include "terminal/comm_tcp.h"
#include "vt100/nvt_screen.h"
#include "vt100/vt100_parser.h"

namespace {

const unsigned char kOpening[6][3] = {
    {kTelnetIAC, kTelnetDO, kOptionEcho},  {kTelnetIAC, kTelnetWONT, kOptionEcho}, {kTelnetIAC, kTelnetWILL, kOptionSGA},
    {kTelnetIAC, kTelnetDO, kOptionSGA},   {kTelnetIAC, kTelnetWILL, kOptionNAWS}, {kTelnetIAC, kTelnetDO, kOptionNAWS},
};

constexpr int kRetryLimit = 30;
constexpr int kWillRefusalLimit = 3;  // per option and connection
constexpr unsigned char kSubSend = 1;  // TERMINAL-TYPE SEND; also the NAWS request form answered

struct Batch {
  CommTcp& t;
  HWND window;
  SOCKET s;
  FILE* trace;
  unsigned char* data;
  int length;
  int* mode;

  bool in3270() const { return *mode == kMode3270; }
  void reply(const unsigned char* bytes, int n) const {
    unsigned char buffer[32];  // replies are small; SendData takes a writable buffer
    if (n < 0 || n > static_cast<int>(sizeof buffer)) return;
    std::memcpy(buffer, bytes, static_cast<size_t>(n));
    SendBytes(&t, window, s, trace, buffer, n);
  }
  void reply(unsigned char command, unsigned char option) const {
    const unsigned char bytes[3] = {kTelnetIAC, command, option};
    reply(bytes, 3);
  }
  void traceLine(const char* text) const {
    if (trace) std::fputs(text, trace);
  }
};

// Bytes the command starting at p (an IAC) takes, or 0 when the data ends inside it.
int commandLength(const unsigned char* p, int available) {
  if (available < 2) return 0;
  const unsigned char command = p[1];
  if (command >= kTelnetWILL && command <= kTelnetDONT) return available >= 3 ? 3 : 0;
  if (command == kTelnetSB) {
    for (int k = 2; k + 1 < available;) {
      if (p[k] != kTelnetIAC) {
        ++k;
      } else if (p[k + 1] == kTelnetSE) {
        return k + 2;
      } else if (p[k + 1] == kTelnetIAC) {
        k += 2;  // a doubled IAC inside the subnegotiation
      } else {
        // Another command: the host left out the IAC SE. The subnegotiation
        // ends here, unanswered, and the command is taken as a command.
        return k;
      }
    }
    // A subnegotiation that never ends is dropped rather than held forever.
    return available >= kMaxHeldCommand ? available : 0;
  }
  // IAC IAC, IAC EOR and the two-byte commands SE .. GA.
  if (command == kTelnetIAC || command == kTelnetEOR || (command >= kTelnetSE && command <= kTelnetGA)) return 2;
  // Not a Telnet command: it takes the byte after it as well.
  return available >= 3 ? 3 : 0;
}

void answerTerminalType(const Batch& b) {
  static const unsigned char kHead[4] = {kTelnetIAC, kTelnetSB, kOptionTerminalType, 0};
  static const unsigned char kTail[2] = {kTelnetIAC, kTelnetSE};
  std::string name = b.t.terminalType == kTypeVt100      ? "VT100"
                     : b.t.terminalType == kTypeIbm3270 ? TerminalTypeName(b.t.modelScreen.model)
                                                        : "";
  if (!name.empty()) {
    // A 3270 session asks for its LU by name after the type (RFC 1646).
    const size_t lu = strnlen(b.t.luName, sizeof b.t.luName - 1);
    if (b.t.terminalType == kTypeIbm3270 && lu > 0) name += "@" + std::string(b.t.luName, lu);
    unsigned char answer[32];
    const int n = static_cast<int>(name.size());
    std::memcpy(answer, kHead, 4);
    std::memcpy(answer + 4, name.data(), static_cast<size_t>(n));
    std::memcpy(answer + 4 + n, kTail, 2);
    b.reply(answer, n + 6);
    if (b.t.terminalType == kTypeIbm3270)
      *b.mode |= kModeIBM3270;
    else
      *b.mode &= ~kModeIBM3270;
  }
  *b.mode |= kModeTerminalType;
}

// The rows the host is told: the live VT100 screen's, or the 3270 screen's in 3270 mode.
int reportedRows(const CommTcp& t) {
  return t.terminalMode == kMode3270 ? kScreenRows : std::clamp<int>(t.nvtRows, 1, kNvtMaxRows);
}

void sendWindowSize(const Batch& b) {
  unsigned char size[16];
  const int rows = reportedRows(b.t);
  b.reply(size, WindowSizeCommand(kScreenColumns, rows, size));
  b.t.nawsReportedRows = rows;
}

void applySubnegotiation(const Batch& b, const unsigned char* p, int n) {
  if (n >= 5 && p[2] == tn3270e::kOption && p[n - 2] == kTelnetIAC && p[n - 1] == kTelnetSE) {
    tn3270e::OnSubnegotiation(b.t, p + 2, static_cast<size_t>(n - 4), b.mode);
    return;
  }
  const bool request = n == 6 && p[3] == kSubSend && p[4] == kTelnetIAC && p[5] == kTelnetSE;
  if (request && p[2] == kOptionTerminalType) {
    answerTerminalType(b);
  } else if (request && p[2] == kOptionNAWS) {
    sendWindowSize(b);
  }
  // Any other subnegotiation is consumed whole, without an answer.
}

// The command table: answers one complete command of n bytes at p.
void applyCommand(const Batch& b, const unsigned char* p, int n) {
  const unsigned char command = p[1];
  if (command == kTelnetIAC) {
    nvt::insertChar(b.t, 0xFF);
    return;
  }
  if (command == kTelnetSB) {
    applySubnegotiation(b, p, n);
    return;
  }
  if (n < 3 || command < kTelnetWILL) return;  // EOR, the two-byte commands and non-commands
  const unsigned char x = p[2];
  int& mode = *b.mode;
  switch (command) {
    case kTelnetDONT:
      if (x == tn3270e::kOption) tn3270e::OnRefused(b.t, b.mode);
      if (x == kOptionEOR) mode &= ~kModeEOR;
      if (x == kOptionNAWS) b.t.nawsAgreed = 0;
      b.reply(kTelnetWONT, x);
      break;
    case kTelnetWONT:
      if (x == tn3270e::kOption) tn3270e::OnRefused(b.t, b.mode);
      if (x == kOptionEOR) {
        mode &= ~kModeEOR;
        b.reply(kTelnetDONT, x);
      } else if (x == kOptionEcho) {
        b.reply(b.in3270() ? kTelnetDONT : kTelnetDO, x);
      } else {
        b.reply(kTelnetDONT, x);
      }
      break;
    case kTelnetWILL:
      switch (x) {
        case kOptionBinary: mode |= kModeBinary; break;
        case kOptionEOR: mode |= kModeEOR; break;
        case kOptionEcho:
        case kOptionTerminalType:
        case kOptionNAWS:
        case kOptionSGA: break;
        default:
          // An option we do not use is refused, as the host waits for an answer
          // (some servers start nothing until AUTHENTICATION and ENCRYPT are).
          if (b.t.willRefusals[x] < kWillRefusalLimit) {
            ++b.t.willRefusals[x];
            b.reply(kTelnetDONT, x);
          }
          return;
      }
      b.reply(kTelnetDO, x);
      break;
    case kTelnetDO:
      switch (x) {
        case kOptionEcho: b.reply(b.in3270() ? kTelnetWILL : kTelnetWONT, x); return;
        case kOptionAuthentication: b.reply(kTelnetWONT, x); return;
        case tn3270e::kOption: tn3270e::OnDo(b.t); return;
        case kOptionTerminalType: mode |= kModeTerminalType; break;
        case kOptionBinary: mode |= kModeBinary; break;
        case kOptionEOR: mode |= kModeEOR; break;
        case kOptionNAWS:
          // The host agrees to NAWS: it is told the size at once, and again
          // whenever the row count changes.
          b.reply(kTelnetWILL, x);
          b.t.nawsAgreed = 1;
          sendWindowSize(b);
          return;
        case kOptionSGA: break;
        default: b.reply(kTelnetWONT, x); return;
      }
      b.reply(kTelnetWILL, x);
      break;
    default:
      break;
  }
}

// Keeps the unfinished escape sequence at data[i..length) for the next batch;
// one that has grown too long to ever complete is dropped.
void keepTail(Batch& b, int i) {
  std::string dump;
  char piece[16];
  for (int k = std::max(i - 10, 0); k < i; ++k) {
    std::snprintf(piece, sizeof piece, " %2x", b.data[k]);
    dump += piece;
  }
  dump += "\n";
  for (int k = i; k < std::min(i + 10, b.length); ++k) {
    std::snprintf(piece, sizeof piece, "%2x ", b.data[k]);
    dump += piece;
  }
  std::snprintf(piece, sizeof piece, "[%d;%d]", i, b.length);
  dump += piece;
  if (b.trace) std::fprintf(b.trace, "\n ****szErrorEscapeSequence\n %s \n ", dump.c_str());
  const int n = b.length - i;
  if (n > kMaxPendingTail) return;
  std::memcpy(b.t.pendingTail, b.data + i, static_cast<size_t>(n));
  b.t.pendingTailLength = n;
}

// Hands data[i..length) to the VT100 interpreter, the kept tail in front.
// Returns where the command loop goes on, or length when the batch is done.
int interpret(Batch& b, int i) {
  CommTcp& t = b.t;
  if (t.pendingTailLength > 0) {
    const int tail = t.pendingTailLength;
    std::memmove(b.data + i + tail, b.data + i, static_cast<size_t>(b.length - i));
    std::memcpy(b.data + i, t.pendingTail, static_cast<size_t>(tail));
    b.length += tail;
    t.pendingTailLength = 0;
  }
  if (b.trace) std::fprintf(b.trace, "\n\t\t\tEntering vt100Parser : i=%d szBufLen =%d \n", i, b.length);
  int index = i;
  vt100::interpret(t, b.window, b.data, &index, b.length);
  if (b.trace) std::fprintf(b.trace, "\n\t\t\tExiting vt100Parser : i=%d szBufLen =%d \n", index, b.length);
  if (index >= b.length) return b.length;
  index = std::max(index, i);
  if (b.data[index] == kTelnetIAC) return index;
  keepTail(b, index);
  return b.length;
}

// Hands n bytes to the 3270 record parser. After a completed record the
// cursor goes to where the screen shows it (the first input field from the
// insert-cursor address on); the screen itself is shown at the end of the batch.
void toRecords(const Batch& b, unsigned char* p, int n) {
  CommTcp& t = b.t;
  if (!t.CreateScreen(p, n)) return;
  t.ShowScreenIcPos(b.window, t.cellWidth, t.cellHeight, &t.cursorColumn, &t.cursorRow);
  t.damage.screen3270 = true;
}

void parseBatch(Batch& b) {
  CommTcp& t = b.t;
  b.traceLine("\n\t\t\t Entering Parser ( ) \n");
  if (b.length == 0) return;

  t.repaintPending = t.pendingTailLength + b.length > 1 ? 1 : 0;

  // A command the previous read cut off goes in front of this one.
  if (t.heldCommandLength > 0) {
    const int held = t.heldCommandLength;
    std::memmove(b.data + held, b.data, static_cast<size_t>(b.length));
    std::memcpy(b.data, t.heldCommand, static_cast<size_t>(held));
    b.length += held;
    t.heldCommandLength = 0;
  }

  int i = 0;
  bool afterBinaryRefusal = false;
  while (i < b.length) {
    unsigned char* p = b.data + i;
    const int available = b.length - i;
    if (b.in3270() && t.recordFill > 0) {
      // A record begun in an earlier read is still open: these bytes continue it
      // (a doubled IAC or the record's IAC EOR may have been cut in two by the
      // read) up to its IAC EOR; Telnet commands may follow it.
      const int n = RecordExtent(t, p, available);
      toRecords(b, p, n);
      i += n;
      continue;
    }
    // (TN3270E, when the terminal wants it, is not asked again: its refusal means TN3270.)
    const bool tn3270eRefusal = available >= 3 && p[2] == tn3270e::kOption && t.tn3270e.wanted;
    if (p[0] == kTelnetIAC && available >= 3 && !afterBinaryRefusal && !tn3270eRefusal) {
      // In 3270 mode a refusal is first answered by asking again, up to a limit.
      if (b.in3270() && p[1] == kTelnetDONT) {
        if (t.dontRetryCount < kRetryLimit) {
          b.reply(kTelnetWILL, p[2]);
          ++t.dontRetryCount;
          i += 3;
          continue;
        }
        t.dontRetryCount = 0;
      } else if (b.in3270() && p[1] == kTelnetWONT) {
        if (t.wontRetryCount < kRetryLimit) {
          b.reply(kTelnetDO, p[2]);
          ++t.wontRetryCount;
          i += 3;
          continue;
        }
        t.wontRetryCount = 0;
      }
      if ((p[1] == kTelnetDONT || p[1] == kTelnetWONT) && p[2] == kOptionBinary) {
        b.reply(p[1] == kTelnetDONT ? kTelnetWONT : kTelnetDONT, kOptionBinary);
        *b.mode &= ~kModeBinary;
        i += 3;
        afterBinaryRefusal = true;  // the next bytes go straight to the table or the data
        continue;
      }
    }
    afterBinaryRefusal = false;

    if (p[0] == kTelnetIAC) {
      // In 3270 mode a doubled IAC is record data.
      const bool recordData = b.in3270() && available >= 2 && p[1] == kTelnetIAC;
      if (!recordData) {
        const int n = commandLength(p, available);
        if (n == 0) {
          std::memcpy(t.heldCommand, p, static_cast<size_t>(available));
          t.heldCommandLength = available;
          break;
        }
        applyCommand(b, p, n);
        i += n;
        continue;
      }
    }

    if (b.in3270()) {
      // A record, up to its IAC EOR; what follows is taken as the loop takes it.
      const int n = RecordExtent(t, p, available);
      toRecords(b, p, n);
      i += n;
      continue;
    }
    i = interpret(b, i);
  }

  // A burst, or rows that moved, are shown by drawing the whole NVT view
  // (in 3270 mode the NVT view is not what is shown).
  if (t.repaintPending == 1 && *b.mode != kMode3270) t.damage.nvtView = true;
  t.repaintPending = 0;
  t.Present();
  b.traceLine("\n\t\t\tExiting Parser ( ) \n ");
}

}  // namespace

void CommTcp::SendWindowSize(HWND hwnd) {
  const int rows = reportedRows(*this);
  if (nawsAgreed != 1 || connected != 1 || socketHandle == INVALID_SOCKET || rows == nawsReportedRows) return;
  unsigned char size[16];
  SendBytes(this, hwnd, socketHandle, traceFile, size, WindowSizeCommand(kScreenColumns, rows, size));
  nawsReportedRows = rows;
}

int WindowSizeCommand(int columns, int rows, unsigned char (&out)[16]) {
  int n = 0;
  out[n++] = kTelnetIAC;
  out[n++] = kTelnetSB;
  out[n++] = kOptionNAWS;
  for (const int value : {columns, rows}) {
    for (const int byte : {(value >> 8) & 0xFF, value & 0xFF}) {
      out[n++] = static_cast<unsigned char>(byte);
      if (byte == kTelnetIAC) out[n++] = kTelnetIAC;
    }
  }
  out[n++] = kTelnetIAC;
  out[n++] = kTelnetSE;
  return n;
}


extern "C" {

int StartNegotiation(HWND window, int* mode, SOCKET s, FILE* trace) {
  if (mode) *mode = 0;
  int result = 0;
  for (const auto& command : kOpening) {
    unsigned char bytes[3] = {command[0], command[1], command[2]};
    result = SendData(window, s, trace, bytes, 3);
  }
  return result;
}

void ParseData(HWND window, SOCKET s, FILE* trace, unsigned char* data, int length, int* mode) {
  CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0));
  if (!t || !mode || length < 0 || (length > 0 && !data)) return;
  // Kept bytes that someone else changed must still fit their arrays.
  t->pendingTailLength = std::clamp(t->pendingTailLength, 0, kMaxPendingTail);
  t->heldCommandLength = std::clamp(t->heldCommandLength, 0, kMaxHeldCommand);

  if (data == t->receiveBuffer && length <= t->receiveRoom()) {
    Batch b{*t, window, s, trace, data, length, mode};
    parseBatch(b);
    return;
  }
  // Another buffer, or more than one read holds: work in the receive buffer piece by piece.
  const std::vector<unsigned char> input(data, data + length);
  size_t done = 0;
  do {
    // The previous piece may have closed the window.
    t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0));
    if (!t) return;
    const int piece = static_cast<int>(std::min<size_t>(input.size() - done, static_cast<size_t>(t->receiveRoom())));
    if (piece > 0) std::memcpy(t->receiveBuffer, input.data() + done, static_cast<size_t>(piece));
    Batch b{*t, window, s, trace, t->receiveBuffer, piece, mode};
    parseBatch(b);
    done += static_cast<size_t>(piece);
  } while (done < input.size());
}

}  // extern "C"
