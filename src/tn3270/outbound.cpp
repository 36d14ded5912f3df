// The record sent to the host with an attention key: the attention identifier,
// the cursor address and every modified input field, ended by IAC EOR; and the
// short selector-pen attention of a double-click.
#include <cstdio>
#include <cstring>

#include "net/socket_io.h"
#include "terminal/comm_tcp.h"
#include "tn3270/ebcdic.h"
#include "tn3270/field_access.h"
#include "tn3270/field_attribute.h"

namespace {

constexpr uint8_t kSetBufferAddress = 0x11;
constexpr uint8_t kIac = 0xFF;
constexpr uint8_t kEor = 0xEF;
constexpr uint8_t kSelectorPen = 0x7E;

// Every record is built in a buffer the size of outboundRecord, and IAC EOR
// must still fit after the body.
constexpr int kRecordCapacity = sizeof(CommTcp::outboundRecord);
constexpr int kBodyCapacity = kRecordCapacity - 2;

// PA1, PA2, PA3 and Clear send the attention identifier alone.
bool isShortAttention(uint8_t aid) { return aid == 0x6B || aid == 0x6C || aid == 0x6D || aid == 0x6E; }

// Writes the two address bytes of a buffer offset. An offset the 12-bit form
// cannot carry (negative, or 4096 and beyond) goes out as row 0, column 0.
void putAddress(unsigned char* out, long long offset) {
  if (offset < 0 || offset >= 4096) offset = 0;
  const int value = static_cast<int>(offset);
  cvpc3270(out, value / kScreenColumns, value % kScreenColumns);
}

}  // namespace

// `out` must hold as many bytes as outboundRecord; the body never takes more
// than that less the two bytes of IAC EOR. A field that would not fit whole
// ends the record there: it and the fields after it are left out.
int CommTcp::build_input(unsigned char* out, uint8_t attention, int column, int row) {
  int n = 0;
  out[n++] = attention;
  if (isShortAttention(attention)) {
    outboundLength = n;
    return 0;
  }
  putAddress(out + n, static_cast<long long>(row) * kScreenColumns + column);
  n += 2;

  const int count = fields::validFieldCount(*this);
  for (int i = 0; i < count; ++i) {
    const FieldEntry& f = fieldTable[i];
    if (f.modified != 1 || fieldIsProtected(f.attribute)) continue;
    // Trailing nulls are not sent; blanks and embedded nulls are.
    uint32_t sent = fields::screenSpan(f);
    while (sent > 0 && screenChars[f.begin + sent - 1] == 0) --sent;
    if (n + 3 + static_cast<long long>(sent) > kBodyCapacity) break;

    out[n++] = kSetBufferAddress;
    putAddress(out + n, fields::screenOffset(f.begin));
    n += 2;
    for (uint32_t k = 0; k < sent; ++k) out[n++] = asciiToEbcdicTable[screenChars[f.begin + k] & 0x7F];

    if (traceFile) {
      // The field's text as far as the next null, never past the screen.
      int textLength = 0;
      if (f.begin < static_cast<uint32_t>(kScreenPositions)) {
        while (f.begin + textLength < static_cast<uint32_t>(kScreenPositions) && screenChars[f.begin + textLength] != 0)
          ++textLength;
      }
      const char* text = reinterpret_cast<const char*>(screenChars) + (textLength > 0 ? f.begin : 0);
      std::fprintf(traceFile, "\n ......UnProtected MDT Field %d Index %d, Attribute: 0x%2x, [r: %d c: %d] %.*s \n",
                   fieldCount, i, f.attribute, static_cast<int>(f.begin / kScreenColumns),
                   static_cast<int>(f.begin % kScreenColumns), textLength, text);
      std::fprintf(traceFile, "\n ...... IndexII string");
      for (uint32_t k = 0; k < sent; ++k) std::fprintf(traceFile, "%c", screenChars[f.begin + k]);
      std::fprintf(traceFile, "\n");
    }
  }
  outboundLength = n;
  return 0;
}

int CommTcp::send_message_host_x() {
  build_input(outboundRecord, aid, cursorColumn, cursorRow);
  cursorAddress = static_cast<uint32_t>(static_cast<long long>(cursorRow) * kScreenColumns + cursorColumn);
  aid = 0x7D;
  if (outboundLength != 0) {
    outboundRecord[outboundLength++] = kIac;
    outboundRecord[outboundLength++] = kEor;
  }
  return 0;
}

void CommTcp::send_message_NewTrans() { send_message_host_x(); }

// The selector-pen attention carries the cursor address and no field data;
// the column and row given are not what is sent.
int CommTcp::build_input2(int, int) {
  outboundRecord[0] = kSelectorPen;
  putAddress(outboundRecord + 1, cursorAddress);
  outboundRecord[3] = kIac;
  outboundRecord[4] = kEor;
  SendBytes(this, windowHandle, socketHandle, traceFile, outboundRecord, 5);
  // The pending characters are dropped with the attention; none may come back later.
  typedCount = 0;
  std::memset(typedChars, 0, sizeof typedChars);
  outboundLength = 0;
  return 0;
}
