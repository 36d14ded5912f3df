// The screen of every 3270 model but the default one: a buffer of up to
// 43 x 80 or 27 x 132 cells in EBCDIC, each either a field attribute or a
// character with its own extended attributes, the size in use (default or
// alternate), the cursor, the reply mode the host chose and the attention
// identifier of the last attention. tn3270/model_write.cpp fills it from the
// host's records, model_read.cpp and structured_fields.cpp answer the host
// from it, model_keyboard.cpp edits it, paint.cpp shows it.
#pragma once

#include <cstdint>
#include <cstring>

#include "quillon_api.h"
#include "tn3270/terminal_model.h"

// Orders of the data stream, outbound (the host's writes) and inbound (the replies).
constexpr uint8_t kOrderPt = 0x05;   // Program Tab
constexpr uint8_t kOrderGe = 0x08;   // Graphic Escape
constexpr uint8_t kOrderSba = 0x11;  // Set Buffer Address
constexpr uint8_t kOrderEua = 0x12;  // Erase Unprotected to Address
constexpr uint8_t kOrderIc = 0x13;   // Insert Cursor
constexpr uint8_t kOrderSf = 0x1D;   // Start Field
constexpr uint8_t kOrderSa = 0x28;   // Set Attribute
constexpr uint8_t kOrderSfe = 0x29;  // Start Field Extended
constexpr uint8_t kOrderMf = 0x2C;   // Modify Field
constexpr uint8_t kOrderRa = 0x3C;   // Repeat to Address

// Extended attribute types, as the orders and the replies name them.
constexpr uint8_t kXaAll = 0x00;  // SA only: every character attribute back to its default
constexpr uint8_t kXaHighlight = 0x41;
constexpr uint8_t kXaForeground = 0x42;
constexpr uint8_t kXaCharset = 0x43;
constexpr uint8_t kXaBackground = 0x45;
constexpr uint8_t kXaField = 0xC0;  // the 3270 field attribute itself

// Highlighting values; 0x00 is the default (the field's, or none).
constexpr uint8_t kHighlightNormal = 0xF0;
constexpr uint8_t kHighlightBlink = 0xF1;
constexpr uint8_t kHighlightReverse = 0xF2;
constexpr uint8_t kHighlightUnderscore = 0xF4;
constexpr uint8_t kHighlightIntensify = 0xF8;

// Attention identifiers the engine itself uses.
constexpr uint8_t kAidNone = 0x60;
constexpr uint8_t kAidStructuredField = 0x88;

// Reply modes (Set Reply Mode).
constexpr uint8_t kReplyField = 0x00;
constexpr uint8_t kReplyExtendedField = 0x01;
constexpr uint8_t kReplyCharacter = 0x02;

struct ModelCell {
  uint8_t ch;     // EBCDIC; 0 a null. A field attribute cell holds 0.
  uint8_t fa;     // the field attribute, when `field`
  uint8_t field;  // 1: this position holds a field attribute
  uint8_t ge;     // 1: ch is a character of the graphic escape set
  // On a character: its own attributes from Set Attribute (0: the field's).
  // On a field attribute: the field's extended attributes.
  uint8_t highlight, foreground, background, charset;
};

struct ModelScreen {
  TerminalModel model;
  int16_t rows = kDefaultRows;
  int16_t columns = kDefaultColumns;
  uint16_t cursor = 0;
  uint16_t bufferAddress = 0;
  uint8_t alternate = 0;  // 1 while the alternate size is in use
  uint8_t aid = kAidNone;
  uint8_t replyMode = kReplyField;
  uint8_t replyAttributeCount = 0;
  uint8_t replyAttributes[8]{};  // character mode: the attributes the host asked for
  // The character attributes that Set Attribute leaves in force for the
  // rest of a write.
  uint8_t saHighlight = 0, saForeground = 0, saBackground = 0, saCharset = 0;
  ModelCell cells[kMaxModelPositions]{};
  // The alternate size a TN3270E BIND named, within the model's (0: the model's).
  int16_t boundRows = 0, boundColumns = 0;

  int positions() const { return rows * columns; }
  int alternateRows() const { return boundRows > 0 ? boundRows : AlternateRows(model); }
  int alternateColumns() const { return boundColumns > 0 ? boundColumns : AlternateColumns(model); }
};

namespace model3270 {

// A cell's eight bytes as one number: runs of cells are compared and stored whole.
static_assert(sizeof(ModelCell) == sizeof(uint64_t), "a cell is eight bytes");
inline uint64_t cellBits(const ModelCell& c) {
  uint64_t v;
  std::memcpy(&v, &c, sizeof v);
  return v;
}

// Positions are kept below the screen size by every operation; this keeps a
// stray value in bounds as well.
inline int wrap(const ModelScreen& s, int p) {
  const int n = s.positions();
  return n > 0 ? ((p % n) + n) % n : 0;
}

// The position of the field attribute that governs p, or -1 on an unformatted screen.
QUILLON_API int fieldStart(const ModelScreen& s, int p);
inline bool formatted(const ModelScreen& s) { return fieldStart(s, 0) >= 0; }
// The character positions of the field whose first position is `first`: up
// to the next field attribute, wrapping, at most all positions but one.
QUILLON_API int fieldLength(const ModelScreen& s, int first);
// Whether a character may be typed at p: a character position of an
// unprotected field (any position of an unformatted screen).
QUILLON_API bool inputPosition(const ModelScreen& s, int p);
// The first character position of the next unprotected field after p
// (searching from p + 1, wrapping), or -1 when there is none.
QUILLON_API int nextInputField(const ModelScreen& s, int p);
// The first character position of the previous unprotected field before p, or -1.
int previousInputField(const ModelScreen& s, int p);

// Clears the buffer to nulls and takes the default (alternate: the
// alternate) size; the cursor and the buffer address go to 0.
void EraseScreen(ModelScreen& s, bool alternate);
// A new connection: the default size, an empty screen, field reply mode.
QUILLON_API void ResetScreen(ModelScreen& s, const TerminalModel& m);

// Encodes a buffer address as the terminal sends it (12-bit codes).
void EncodeAddress(int address, uint8_t out[2]);
// Decodes a buffer address in the 12-bit or the 14-bit form.
int DecodeAddress(uint8_t first, uint8_t second);

// EBCDIC <-> the 7-bit ASCII the screen shows (blank for what has no glyph).
QUILLON_API char DisplayChar(const ModelCell& c);

}  // namespace model3270
