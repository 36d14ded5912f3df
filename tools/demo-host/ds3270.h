// The 3270 data stream as this host writes and reads it: EBCDIC, buffer
// addresses, the outbound write with its orders, and the inbound record of an
// attention key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demohost::ds3270 {

constexpr int kRows = 24;
constexpr int kColumns = 80;
constexpr int kPositions = kRows * kColumns;

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

uint8_t toEbcdic(char c);
// Printable ASCII for an EBCDIC byte; '\0' for bytes without one.
char toAscii(uint8_t e);

constexpr int address(int row, int column) { return row * kColumns + column; }
// The 12-bit form (two graphic codes), as every model-2 terminal understands it.
void encodeAddress(int address, uint8_t out[2]);
// Both forms: 14-bit when the first byte's two top bits are clear, else 12-bit.
int decodeAddress(uint8_t first, uint8_t second);

// Builds one outbound write record (without the Telnet end of record).
class Writer {
 public:
  // Erase/Write, keyboard restored and modified tags reset: a new panel.
  static Writer eraseWrite();
  // Write with the keyboard restored and the modified tags kept: only the
  // positions written change, and what the user typed is returned again.
  static Writer write();

  Writer& at(int row, int column);                // Set Buffer Address
  Writer& at(int address);
  Writer& field(uint8_t attribute);               // Start Field
  Writer& text(const std::string& ascii);         // data, in EBCDIC
  Writer& cursor();                               // Insert Cursor
  Writer& repeatTo(int row, int column, char c);  // Repeat to Address (up to, not including)
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  explicit Writer(uint8_t command, uint8_t wcc) : bytes_{command, wcc} {}
  void addAddress(int address);
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

// Fields at addresses outside the screen are dropped; nothing is read past the record.
Inbound parseInbound(const std::vector<uint8_t>& record);

}  // namespace demohost::ds3270
