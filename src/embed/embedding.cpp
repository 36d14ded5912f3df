// The embedding interface.
#include "embed/embedding.h"

#include <algorithm>

#include "tn3270/ebcdic.h"

namespace {

CommTcp* terminalOf(HWND window) {
  if (window == nullptr || !IsWindow(window)) return nullptr;
  return reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0));
}

}  // namespace

static_assert(QUILLON_RECORD_BUFFER_SIZE == sizeof CommTcp::recordBuffer, "the documented buffer size");

extern "C" int ncTcpOutput(HWND window, const char* text, int length) {
  if (text == nullptr || length <= 0 || terminalOf(window) == nullptr) return 0;
  // The character code is the byte as a signed char, as a keyboard delivers it.
  for (int i = 0; i < length; ++i)
    SendMessageA(window, WM_CHAR, static_cast<WPARAM>(static_cast<signed char>(text[i])), 1);
  SendMessageA(window, WM_CHAR, 13, 1);
  return 1;
}

extern "C" int ncTcpSetEventHandler(HWND* window, RecordHandler handler) {
  CommTcp* t = window ? terminalOf(*window) : nullptr;
  if (t == nullptr) return 0;
  t->recordHandler = handler;
  return 1;
}

extern "C" int ncTcpGetWholeScreen(HWND* window, unsigned char* out, int* length) {
  CommTcp* t = window ? terminalOf(*window) : nullptr;
  if (t == nullptr || out == nullptr || length == nullptr) return 0;
  const int n = std::clamp<int32_t>(t->recordFill, 0, QUILLON_RECORD_BUFFER_SIZE);
  const unsigned char* record = t->recordBuffer;

  // Copies an order's operands unchanged, as far as the record goes.
  auto operands = [&](int at, int count) {
    for (int i = at; i < at + count && i < n; ++i) out[i] = record[i];
  };
  for (int i = 0; i < 2 && i < n; ++i) out[i] = record[i];  // command and write control character
  int p = 2;
  while (p < n) {
    const unsigned char b = record[p];
    switch (b) {
      case 0x05:  // program tab
      case 0x15:  // new line
        out[p++] = b;
        break;
      case 0x11:  // set buffer address
        out[p] = 0x02;
        operands(p + 1, 2);
        p += 3;
        break;
      case 0x12:  // erase unprotected to address
        out[p] = 0x12;
        operands(p + 1, 2);
        p += 3;
        break;
      case 0x13:  // insert cursor
        out[p++] = 0x04;
        break;
      case 0x1D:  // start field
        out[p] = 0x06;
        operands(p + 1, 1);
        p += 2;
        break;
      case 0x3C:  // repeat to address
        out[p] = 0x03;
        operands(p + 1, 3);
        p += 4;
        break;
      default:
        if (b == 0xFF && p + 1 < n && record[p + 1] == 0xEF) {  // IAC EOR
          out[p] = 0x0D;
          p += 2;
          break;
        }
        unsigned char c = b;
        Ebc_To_Asc(&c, 1);
        out[p++] = static_cast<unsigned char>(c & 0x7F);
        break;
    }
  }
  // Without a record there is nothing, not a length of -1.
  *length = std::max(n - 1, 0);
  return 0;
}

extern "C" int ncTcpGetString3270(void) { return 0; }
