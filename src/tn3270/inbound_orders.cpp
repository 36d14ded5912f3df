// Interpreting one 3270 write record: the command and write control
// character, the orders and data, and the field table rebuilt from the
// start-field positions.
#include <cstdio>
#include <cstring>

#include "terminal/comm_tcp.h"
#include "tn3270/ebcdic.h"
#include "tn3270/field_attribute.h"

namespace {

constexpr uint32_t kPositions = kScreenPositions;

// Orders of the write data stream.
constexpr uint8_t kSetBufferAddress = 0x11;
constexpr uint8_t kStartField = 0x1D;
constexpr uint8_t kInsertCursor = 0x13;
constexpr uint8_t kRepeatToAddress = 0x3C;
constexpr uint8_t kEraseUnprotectedToAddress = 0x12;
constexpr uint8_t kProgramTab = 0x05;
constexpr uint8_t kNewLine = 0x15;

enum class Treatment {
  kErase,           // clear the whole screen, write from the top
  kEraseHome,       // the same, and the cursor goes home
  kKeepFields,      // write from the top; the field table survives
  kFromTop,         // write from the top over the old screen
  kInPlace,         // write over the old screen where the last record stopped
  kKeepEverything,  // nothing is reset
};

// A record that carries a write control character.
Treatment longRecordTreatment(uint8_t command, uint8_t wcc, bool* unknown) {
  *unknown = false;
  if ((command & 0x05) == 0x05) return Treatment::kErase;
  if (command == 0xD4 && wcc == 0x40) return Treatment::kErase;
  if (command == 0x01 && wcc == 0xC2) return Treatment::kKeepFields;
  if (command == 0xF1 && (wcc == 0xC1 || wcc == 0xC2)) return Treatment::kFromTop;
  if (command == 0x01 && wcc == 0xC3) return Treatment::kFromTop;
  if (command & 0x01) return Treatment::kInPlace;
  *unknown = true;
  return Treatment::kFromTop;
}

// A record too short to carry a write control character.
Treatment shortRecordTreatment(uint8_t command) {
  switch (command) {
    case 0x01: case 0x31: case 0xF1:
      return Treatment::kKeepEverything;
    case 0x05: case 0x35: case 0xF5: case 0x02: case 0x32: case 0xF2:
      return Treatment::kEraseHome;
    default:
      return Treatment::kFromTop;
  }
}

int row(uint32_t position) { return static_cast<int>(position / kScreenColumns); }
int column(uint32_t position) { return static_cast<int>(position % kScreenColumns); }

uint32_t decodeAddress(const uint8_t* bytes) {
  unsigned int address = 0;
  cv3270pc(const_cast<uint8_t*>(bytes), &address);
  return address;
}

uint8_t toScreenChar(uint8_t ebcdic) { return ebcdicToAsciiTable[ebcdic] & 0x7F; }

// The screen text from a position up to the next null, never past the arrays.
int textLength(const uint8_t* screen, uint32_t begin) {
  const void* end = std::memchr(screen + begin, 0, kScreenArraySize - begin);
  return end ? static_cast<int>(static_cast<const uint8_t*>(end) - (screen + begin))
             : static_cast<int>(kScreenArraySize - begin);
}

}  // namespace

void CommTcp::CreateScreenMenu(unsigned char* record, int length) {
  if (record == nullptr || length <= 0) return;
  auto byteAt = [&](int i) -> unsigned int { return i < length ? record[i] : 0u; };
  if (traceFile) std::fprintf(traceFile, " \nFirst Two CONTROL Bytes: [0x%2x, 0x%2x]", byteAt(0), byteAt(1));

  // The closing IAC EOR ends the record; every byte before it is an order,
  // an operand or data (a 0xFF there is a data byte the host sent doubled).
  int end = length;
  if (length >= 2 && record[length - 2] == 0xFF && record[length - 1] == 0xEF) end = length - 2;

  Treatment treatment;
  int next;
  if (length >= 4) {
    bool unknown = false;
    treatment = longRecordTreatment(record[0], record[1], &unknown);
    if (unknown && traceFile) {
      std::fprintf(traceFile, " \nUnknown Control Bytes: [0x%2x, 0x%2x]", record[0], record[1]);
    }
    next = 2;
  } else {
    treatment = shortRecordTreatment(record[0]);
    // The command byte is not data, unless it begins the record's IAC EOR.
    next = end > 0 ? 1 : 0;
  }

  fieldCount = 0;
  if (bufferAddress >= kPositions) bufferAddress = 0;
  switch (treatment) {
    case Treatment::kEraseHome:
      cursorAddress = 0;
      [[fallthrough]];
    case Treatment::kErase:
      InitScreen();
      bufferAddress = 0;
      break;
    case Treatment::kKeepFields:
      bufferAddress = 0;
      break;
    case Treatment::kFromTop:
      bufferAddress = 0;
      [[fallthrough]];
    case Treatment::kInPlace:
      std::memset(fieldTable, 0, sizeof fieldTable);
      std::memset(positionAttribute, 0, sizeof positionAttribute);
      break;
    case Treatment::kKeepEverything:
      break;
  }

  if (traceFile) std::fprintf(traceFile, " \nFirst Two Data Bytes: [0x%2x, 0x%2x]", byteAt(next), byteAt(next + 1));

  auto advance = [this] { bufferAddress = (bufferAddress + 1) % kPositions; };
  while (next < end) {
    const uint8_t byte = record[next++];
    const int operands = end - next;
    switch (byte) {
      case kSetBufferAddress: {
        if (operands < 2) { next = end; break; }
        const uint32_t address = decodeAddress(record + next);
        next += 2;
        // Beyond the screen: the order is rejected and the address stays.
        if (address < kPositions) bufferAddress = address;
        break;
      }
      case kStartField:
        if (operands < 1) { next = end; break; }
        screenChars[bufferAddress] = 0x20;
        // 0 in attributePositions means "no field starts here": an attribute
        // byte of 0x00 is kept in its graphic form 0x40 (the top two bits of
        // an attribute carry no meaning), so its field exists.
        attributePositions[bufferAddress] = record[next] != 0 ? record[next] : 0x40;
        ++next;
        advance();
        break;
      case kInsertCursor:
        if (traceFile) {
          std::fprintf(traceFile, "\nInsert Cursor: Index %d Old %d[r:%d c:%d] Curr %d[r:%d c:%d] \n", fieldCount,
                       static_cast<int>(cursorAddress), row(cursorAddress), column(cursorAddress),
                       static_cast<int>(bufferAddress), row(bufferAddress), column(bufferAddress));
        }
        cursorAddress = bufferAddress;
        break;
      case kRepeatToAddress: {
        if (operands < 3) { next = end; break; }
        const uint32_t stop = decodeAddress(record + next);
        const uint8_t ch = toScreenChar(record[next + 2]);
        next += 3;
        if (stop < kPositions) {
          repeatto(bufferAddress, stop, ch);
          bufferAddress = stop;
        }
        break;
      }
      case kEraseUnprotectedToAddress: {
        if (operands < 2) { next = end; break; }
        const uint32_t stop = decodeAddress(record + next);
        next += 2;
        if (stop < kPositions) RepeatEraseTo(bufferAddress, stop);
        break;
      }
      case kProgramTab:
        if (traceFile) {
          std::fprintf(traceFile, "\nProgram Tab: Pos [r:%d c:%d] \n", row(bufferAddress), column(bufferAddress));
        }
        break;
      case kNewLine:
        bufferAddress = static_cast<uint32_t>((row(bufferAddress) + 1) % kScreenRows) * kScreenColumns;
        break;
      default:
        screenChars[bufferAddress] = toScreenChar(byte);
        attributePositions[bufferAddress] = 0;
        advance();
        break;
    }
  }

  if (traceFile) {
    std::fputc('\n', traceFile);
    for (int r = 0; r < kScreenRows; ++r) {
      std::fwrite(screenChars + r * kScreenColumns, 1, kScreenColumns, traceFile);
      std::fputc('\n', traceFile);
    }
  }

  input_3270_FieldIndex(attributePositions);
  // An index left from a screen with more fields starts again at the first.
  if (currentField < 0 || currentField >= fieldCount) currentField = 0;
}

int CommTcp::repeatto(uint32_t start, uint32_t stop, uint8_t ch) {
  if (start >= kPositions || stop >= kPositions) return 0;
  // From start up to stop, wrapping from the last position to the first.
  const auto fill = [&](uint32_t first, uint32_t end) {
    std::memset(screenChars + first, ch, end - first);
    std::memset(attributePositions + first, 0, end - first);
  };
  if (start <= stop) {
    fill(start, stop);
  } else {
    fill(start, kPositions);
    fill(0, stop);
  }
  return 0;
}

int CommTcp::RepeatEraseTo(uint32_t start, uint32_t stop) { return repeatto(start, stop, 0x20); }

int CommTcp::close_field(uint32_t begin, uint32_t end, uint8_t attribute) {
  if (begin > kPositions) begin = kPositions;
  if (end > kPositions) end = kPositions;
  if (begin > end) end = kPositions;

  if (fieldCount < 0) fieldCount = 0;
  if (fieldCount >= kMaxFields) {
    // No room in the table: the field is shown, but as protected, since it
    // can be neither reached nor sent.
    std::memset(positionAttribute + begin, attribute | kFieldProtected, end - begin);
    return 0;
  }

  FieldEntry& f = fieldTable[fieldCount];
  f.attribute = attribute;
  f.begin = begin;
  f.length = end - begin;
  f.data = screenChars + begin;
  if (traceFile) {
    const int n = textLength(screenChars, begin);
    const char* text = reinterpret_cast<const char*>(screenChars + begin);
    std::fprintf(traceFile, "\n close_field: Index %d Attribute: %2x Begin[%d,%d] End[%d,%d] %.*s %.*s\n", fieldCount,
                 attribute, row(begin), column(begin), row(end), column(end), n, text, n, text);
  }
  if (begin < end) std::memset(positionAttribute + begin, attribute, end - begin);
  ++fieldCount;
  return 0;
}

int CommTcp::input_3270_FieldIndex(uint8_t* attributes) {
  if (attributes == nullptr) attributes = attributePositions;
  uint8_t attribute = kFieldProtected;
  uint32_t begin = 0;
  bool seen = false;
  for (uint32_t p = 0; p < kPositions; ++p) {
    // Most positions hold no attribute: pass over them eight at a time.
    while (p + 8 <= kPositions) {
      uint64_t eight;
      std::memcpy(&eight, attributes + p, sizeof eight);
      if (eight != 0) break;
      p += 8;
    }
    if (p >= kPositions) break;
    const uint8_t a = attributes[p];
    if (a == 0) continue;
    // A start field repeating the attribute of the field being built is part of it.
    if (seen && a == attribute) continue;
    close_field(begin, p, attribute);
    attribute = a;
    begin = p + 1;
    seen = true;
  }
  if (traceFile) std::fprintf(traceFile, "\n close_field: Established at the final stage \n ");
  if (seen) {
    close_field(begin, kPositions, attribute);
  } else {
    close_field(0, kPositions, kFieldProtected);
  }
  return 0;
}
