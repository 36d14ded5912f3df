// Window messages to a connected terminal window, in either terminal mode:
// keys with any lParam (repeat count, scan code, flags), characters, system
// keys, the mouse anywhere, any window size, the menu commands, the scroll
// bar, the socket message with data from the host or its close, and timers.
// Dialogs and message boxes are answered as the headless display answers
// them, except that the escape-sequence dialog can be given text to send; the
// clipboard can be given text to paste.
//
// Input: a flags byte (bit 0: 3270 mode, bit 1: trace log), then messages,
// each a kind byte and its operands.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "net/connection.h"
#include "platform/posix/testing.h"
#include "ui/resource.h"

namespace {

std::string g_escapeText;  // typed into the next escape-sequence dialog, then OK

void answerDialogs(HWND dialog, const std::string&) {
  if (g_escapeText.empty() || !GetDlgItem(dialog, IDC_ESCAPETEXT)) return;  // the default: cancelled
  const std::string text = g_escapeText;
  g_escapeText.clear();
  posix::testing::typeInto(dialog, IDC_ESCAPETEXT, text);
  posix::testing::pressButton(dialog, IDOK);
}

// Repeats an input may still ask for: 16 per input byte. A 3270 window handles
// each repeat as a key of its own, and each repeated Enter sends a record, so
// the work and the replies of an input stay bounded by its size; a long input
// can still give any count.
unsigned g_repeatBudget = 0;

// A key message's lParam: scan code and flags as given; the repeat count is
// small unless the operand's top bit asks for any count at all (within the
// input's budget).
LPARAM keyLparam(fuzz::Reader& in) {
  uint32_t v = in.dword();
  unsigned repeat = (v & 0x80000000u) ? (v & 0xFFFFu) : (v & 0x0Fu);
  repeat = std::min(repeat, g_repeatBudget);
  g_repeatBudget -= repeat;
  v = (v & 0xFFFF0000u) | repeat;
  return static_cast<LPARAM>(static_cast<int32_t>(v));
}
LPARAM lparam(fuzz::Reader& in) { return static_cast<LPARAM>(static_cast<int32_t>(in.dword())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Session& s = fuzz::session(true);
  static const bool handlerSet = [] {
    posix::testing::setDialogHandler(answerDialogs);
    return true;
  }();
  (void)handlerSet;
  fuzz::Reader in(data, size);
  g_repeatBudget = static_cast<unsigned>(std::min<size_t>(size, 4096) * 16);
  const uint8_t flags = in.byte();
  fuzz::resetTerminal((flags & 1) ? fuzz::Mode::kIbm3270 : fuzz::Mode::kVt100);
  // The window owns its trace log (closing the window closes it), so each input
  // that wants one opens its own.
  s.t->traceFile = (flags & 2) ? std::fopen("/dev/null", "w") : nullptr;
  g_escapeText.clear();

  for (int steps = 0; !in.empty() && steps < 64 && fuzz::sessionAlive(); ++steps) {
    const HWND w = s.window;
    const uint8_t kind = in.byte();
    switch (kind % 16) {
      case 0: {
        const WPARAM key = in.byte();
        SendMessageA(w, WM_KEYDOWN, key, keyLparam(in));
        break;
      }
      case 1: {
        const WPARAM key = in.byte();
        SendMessageA(w, WM_KEYUP, key, keyLparam(in));
        break;
      }
      case 2: {
        const WPARAM ch = in.byte();
        SendMessageA(w, WM_CHAR, ch, keyLparam(in));
        break;
      }
      case 3: {
        const WPARAM key = in.byte();
        SendMessageA(w, WM_SYSKEYDOWN, key, keyLparam(in));
        break;
      }
      case 4: {
        static const UINT kMouse[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE};
        const UINT message = kMouse[(kind >> 4) & 3];
        SendMessageA(w, message, MK_LBUTTON, lparam(in));
        break;
      }
      case 5: {
        const WPARAM how = (kind >> 4) % 5;  // SIZE_RESTORED .. SIZE_MAXHIDE
        SendMessageA(w, WM_SIZE, how, lparam(in));
        break;
      }
      case 6: {
        // A menu command; with the top bit any identifier at all.
        const uint8_t b = in.byte();
        const UINT id = (b & 0x80) ? in.word() : IDM_FIRST + b % (IDM_LAST - IDM_FIRST + 1);
        SendMessageA(w, WM_COMMAND, id, 0);
        break;
      }
      case 7:
        SendMessageA(w, WM_VSCROLL, static_cast<WPARAM>(in.dword()), 0);
        break;
      case 8: {
        // Data from the host; the socket layer tells the window, or a stray
        // read event comes first.
        const std::vector<uint8_t> bytes = in.bytes(in.byte());
        if (kind & 0x10) SendMessageA(w, WM_WSAASYNC, static_cast<WPARAM>(s.t->socketHandle), MAKELPARAM(FD_READ, 0));
        fuzz::hostSends(bytes.data(), bytes.size());
        break;
      }
      case 9: {
        // The socket message for the connection, or for another socket; FD_CLOSE
        // (which closes the window) only with all three bits.
        const WPARAM socket = (kind & 0x10) ? static_cast<WPARAM>(in.word()) : static_cast<WPARAM>(s.t->socketHandle);
        const WORD event = (kind & 0xE0) == 0xE0 ? FD_CLOSE : (kind & 0x20) ? FD_CONNECT : FD_READ;
        SendMessageA(w, WM_WSAASYNC, socket, MAKELPARAM(event, (kind & 0x40) ? WSAECONNRESET : 0));
        break;
      }
      case 10: {
        // The layout timer, the keep-alive timer's tick, or a timer the window never set.
        static const WPARAM kTimers[] = {kLayoutTimer, kKeepAliveTimer, 7, 0};
        SendMessageA(w, WM_TIMER, kTimers[(kind >> 4) & 3], 0);
        break;
      }
      case 11: {
        static const UINT kOther[] = {WM_PAINT, WM_SETFOCUS, WM_KILLFOCUS, WM_LAYOUT};
        SendMessageA(w, kOther[(kind >> 4) & 3], 0, 0);
        break;
      }
      case 12:
        SendMessageA(w, WM_SYSCOMMAND, (kind & 0x10) ? SC_KEYMENU : in.word(), 0);
        break;
      case 13: {
        // What the user types into the next escape-sequence dialog.
        const std::vector<uint8_t> text = in.bytes(in.byte() % 64);
        g_escapeText.assign(text.begin(), text.end());
        break;
      }
      case 14: {
        // Something copied elsewhere, for Paste.
        const std::vector<uint8_t> text = in.bytes(in.byte());
        posix::testing::setClipboardBytes(std::string(text.begin(), text.end()));
        break;
      }
      case 15:
        break;  // just the pump below
    }
    fuzz::pump();
  }
  g_escapeText.clear();
  g_escapeText.shrink_to_fit();
  fuzz::pump();
  if (fuzz::sessionAlive()) {
    if (s.t->traceFile) std::fclose(s.t->traceFile);
    s.t->traceFile = nullptr;
  }
  fuzz::finishInput();
  return 0;
}
