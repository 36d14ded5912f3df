// Random but reproducible outbound 3270 records for comparing two terminals:
// Erase/Write, Erase/Write Alternate, Write and Erase All Unprotected, with the
// orders SBA (12- and 14-bit), SF, SFE, SA, MF, RA, EUA, IC, PT and GE. Every
// record is complete and well formed: addresses lie inside the screen size
// the record leaves in effect, and only characters and attribute values whose
// display is well defined are used.
#pragma once

#include <cstdint>
#include <vector>

namespace records {

// splitmix64: small, fast and the same on every platform.
class Prng {
 public:
  explicit Prng(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // A number in [0, n); n > 0.
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  bool percent(uint32_t p) { return below(100) < p; }

 private:
  uint64_t state_;
};

// The byte a 6-bit value travels as (addresses, attribute and WCC bytes).
uint8_t code6(uint32_t value);

class RecordGenerator {
 public:
  // `rows` x `columns` is the alternate screen; the default one is 24 x 80.
  RecordGenerator(uint64_t seed, int rows, int columns);
  // The next record: command byte and what follows, without telnet framing.
  std::vector<uint8_t> next();
  int rows() const { return rows_; }
  int columns() const { return columns_; }

 private:
  uint32_t size() const { return static_cast<uint32_t>(rows_ * columns_); }
  // An address of the current screen, edges (first, last, row ends) favoured.
  uint32_t address();
  // The two bytes of an address, in the 12- or the 14-bit form.
  void addressBytes(std::vector<uint8_t>& out, uint32_t at);
  void setAddress(std::vector<uint8_t>& out, uint32_t at);
  // Whether a field attribute this screen was given lies next to `at`. No
  // field attribute is put there: after an unprotected one whose next
  // position is another attribute, s3270 puts the cursor of Erase All
  // Unprotected on that attribute, where its own Tab and Home (and this
  // terminal) pass over the field, which has no character position.
  bool besideField(uint32_t at) const;
  void character(std::vector<uint8_t>& out);
  void attributePairs(std::vector<uint8_t>& out, bool forField);
  void item(std::vector<uint8_t>& out);

  Prng prng_;
  int alternateRows_, alternateColumns_;
  int rows_ = 24, columns_ = 80;
  // Where this screen's field attributes were put (later writes may have
  // covered some): the targets of Modify Field.
  std::vector<uint32_t> fields_;
  // The record's last item: characters, a Program Tab right after them, or other.
  enum class Last { other, characters, tabAfterCharacters } last_ = Last::other;
};

}  // namespace records
