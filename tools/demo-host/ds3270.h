// The 3270 data stream as this host writes and reads it: EBCDIC, buffer
// addresses, the outbound write with its orders, the inbound record of an
// attention key, and the Query Reply that tells an extended terminal's
// alternate screen size and colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demohost::ds3270 {

constexpr int kRows = 24;
constexpr int kColumns = 80;
constexpr int kPositions = kRows * kColumns;
// The largest screen 14-bit addresses reach.
constexpr int kMaxPositions = 16384;

// The size of the screen a write is for: the default 24x80, or a terminal's
// alternate size, which Erase/Write Alternate selects.
struct Geometry {
  int rows = kRows;
  int columns = kColumns;
  int positions() const { return rows * columns; }
  int address(int row, int column) const { return row * columns + column; }
};

// Field attributes (the 6-bit value in its graphic code form).
constexpr uint8_t kProtected = 0x60;        // protected, normal
constexpr uint8_t kProtectedBright = 0xE8;  // protected, intensified
// Input fields carry the modified-data tag: terminals then return them with
// every attention, and some allow Backspace only in such fields.
constexpr uint8_t kInput = 0xC1;         // unprotected, normal
constexpr uint8_t kInputHidden = 0x4D;   // unprotected, non-display
constexpr uint8_t kInputNumeric = 0xD1;  // unprotected, numeric

// Attention identifiers.
constexpr uint8_t kAidEnter = 0x7D;
constexpr uint8_t kAidClear = 0x6D;
constexpr uint8_t kAidPa1 = 0x6C;
constexpr uint8_t kAidPf1 = 0xF1;
constexpr uint8_t kAidPf3 = 0xF3;
constexpr uint8_t kAidPf7 = 0xF7;
constexpr uint8_t kAidPf8 = 0xF8;
constexpr uint8_t kAidStructuredField = 0x88;  // the inbound record of a Query Reply

// Extended attributes: the types of Start Field Extended and Set Attribute pairs, and their values.
constexpr uint8_t kAttrField = 0xC0;
constexpr uint8_t kAttrHighlight = 0x41;
constexpr uint8_t kAttrColour = 0x42;
constexpr uint8_t kBlink = 0xF1, kReverse = 0xF2, kUnderscore = 0xF4;
constexpr uint8_t kBlue = 0xF1, kRed = 0xF2, kPink = 0xF3, kGreen = 0xF4, kTurquoise = 0xF5, kYellow = 0xF6,
                  kWhite = 0xF7;

// Write Structured Field with Read Partition Query: the terminal answers with its Query Reply.
const std::vector<uint8_t>& readPartitionQuery();

uint8_t toEbcdic(char c);
// Printable ASCII for an EBCDIC byte; '\0' for bytes without one.
char toAscii(uint8_t e);

// The 12-bit form (two graphic codes), as every model-2 terminal understands
// it, up to 4095; the 14-bit form (binary) above, which only larger screens need.
void encodeAddress(int address, uint8_t out[2]);
// Both forms: 14-bit when the first byte's two top bits are clear, else 12-bit.
int decodeAddress(uint8_t first, uint8_t second);

// Builds one outbound write record (without the Telnet end of record).
class Writer {
 public:
  // Erase/Write, keyboard restored and modified tags reset: a new panel.
  static Writer eraseWrite();
  // The same on the terminal's alternate screen, of the size given.
  static Writer eraseWriteAlternate(const Geometry& screen);
  // Write with the keyboard restored and the modified tags kept: only the
  // positions written change, and what the user typed is returned again.
  // Addresses are those of the screen the last erase selected.
  static Writer write(const Geometry& screen = Geometry{});

  Writer& at(int row, int column);                // Set Buffer Address
  Writer& at(int address);
  Writer& field(uint8_t attribute);               // Start Field
  // Start Field Extended: the field attribute, then colour and highlighting
  // when they are not 0 (0 leaves the terminal's default).
  Writer& field(uint8_t attribute, uint8_t colour, uint8_t highlight);
  Writer& character(uint8_t type, uint8_t value);  // Set Attribute, for the characters that follow
  Writer& text(const std::string& ascii);         // data, in EBCDIC
  Writer& cursor();                               // Insert Cursor
  Writer& repeatTo(int row, int column, char c);  // Repeat to Address (up to, not including)
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  Writer(uint8_t command, uint8_t wcc, const Geometry& screen) : screen_(screen), bytes_{command, wcc} {}
  void addAddress(int address);
  Geometry screen_;
  std::vector<uint8_t> bytes_;
};

// A record the terminal sent: the attention identifier, the cursor address
// (-1 for the short records of PA and Clear) and each modified field by the
// address of its first position, in ASCII with nulls left out.
struct Inbound {
  struct Field {
    int address = 0;
    std::string text;
  };
  uint8_t aid = 0;
  int cursor = -1;
  std::vector<Field> fields;

  // The text sent for the field that begins at the address ("" when it was not sent).
  std::string fieldAt(int address) const;
};

// Fields at addresses outside the screen of `positions` are dropped; nothing
// is read past the record.
Inbound parseInbound(const std::vector<uint8_t>& record, int positions = kPositions);

// What a terminal's Query Reply tells: the usable area (the alternate screen
// size; 0 x 0 when the reply has none, or one this host cannot use) and whether
// it shows colours.
struct Capabilities {
  int rows = 0;
  int columns = 0;
  bool colour = false;
};

// False when the record is not a Query Reply. Every structured field's length
// is checked against the record before any of it is read; a field that runs
// past the end stops the parse, and what came before it counts.
bool parseQueryReply(const std::vector<uint8_t>& record, Capabilities& out);

}  // namespace demohost::ds3270
