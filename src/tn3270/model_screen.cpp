// Questions asked of the model screen, its addresses and its characters.
#include <cstring>

#include "tn3270/code_page.h"
#include "tn3270/ebcdic.h"
#include "tn3270/field_attribute.h"
#include "tn3270/model_screen.h"

namespace model3270 {

int fieldStart(const ModelScreen& s, int p) {
  const int n = s.positions();
  p = wrap(s, p);
  for (int k = 0; k < n; ++k) {
    const int q = p - k < 0 ? p - k + n : p - k;
    if (s.cells[q].field) return q;
  }
  return -1;
}

int fieldLength(const ModelScreen& s, int first) {
  const int n = s.positions();
  int length = 0;
  while (length < n - 1 && !s.cells[wrap(s, first + length)].field) ++length;
  return length;
}

bool inputPosition(const ModelScreen& s, int p) {
  p = wrap(s, p);
  if (s.cells[p].field) return false;
  const int f = fieldStart(s, p);
  return f < 0 || !fieldIsProtected(s.cells[f].fa);
}

namespace {
// The first character position of an unprotected field whose attribute is
// at f, or -1 when the field is protected or has no character position.
int inputStartAt(const ModelScreen& s, int f) {
  if (!s.cells[f].field || fieldIsProtected(s.cells[f].fa)) return -1;
  const int first = wrap(s, f + 1);
  return s.cells[first].field ? -1 : first;
}
}  // namespace

int nextInputField(const ModelScreen& s, int p) {
  const int n = s.positions();
  for (int k = 1; k <= n; ++k) {
    const int first = inputStartAt(s, wrap(s, p + k));
    if (first >= 0) return first;
  }
  return -1;
}

int previousInputField(const ModelScreen& s, int p) {
  const int n = s.positions();
  // The attribute of a field whose first position is p itself comes last.
  for (int k = 2; k <= n + 1; ++k) {
    const int first = inputStartAt(s, wrap(s, p - k));
    if (first >= 0) return first;
  }
  return -1;
}

void EraseScreen(ModelScreen& s, bool alternate) {
  s.alternate = alternate ? 1 : 0;
  s.rows = static_cast<int16_t>(alternate ? s.alternateRows() : kDefaultRows);
  s.columns = static_cast<int16_t>(alternate ? s.alternateColumns() : kDefaultColumns);
  std::memset(s.cells, 0, sizeof s.cells);
  s.cursor = 0;
  s.bufferAddress = 0;
}

void ResetScreen(ModelScreen& s, const TerminalModel& m) {
  s.model = m;
  s.boundRows = s.boundColumns = 0;
  EraseScreen(s, false);
  s.aid = kAidNone;
  s.replyMode = kReplyField;
  s.replyAttributeCount = 0;
  s.saHighlight = s.saForeground = s.saBackground = s.saCharset = 0;
}

void EncodeAddress(int address, uint8_t out[2]) {
  if (address < 0) address = 0;
  if (address >= 4096) {
    // 14-bit form: the top two bits of the first byte clear.
    out[0] = static_cast<uint8_t>((address >> 8) & 0x3F);
    out[1] = static_cast<uint8_t>(address & 0xFF);
    return;
  }
  out[0] = addressCodeTable[(address >> 6) & 0x3F];
  out[1] = addressCodeTable[address & 0x3F];
}

int DecodeAddress(uint8_t first, uint8_t second) {
  if ((first & 0xC0) == 0) return ((first & 0x3F) << 8) | second;
  return ((first & 0x3F) << 6) | (second & 0x3F);
}

char DisplayChar(const ModelCell& c) {
  if (c.field || c.ch == 0) return ' ';
  if (c.ge) return ' ';
  const unsigned char a = kEbcdicToLatin1[c.ch];
  return a >= 0x20 && a < 0x7F ? static_cast<char>(a) : ' ';
}

}  // namespace model3270
