// The parameter scan of a control sequence: numbers separated by ";", private
// markers and intermediates as entries of their own, and the final byte.
#include "vt100/vt100_parser.h"

extern "C" int convert_string(unsigned char* source, int sourceLength, char* kinds, int* values, int maxEntries,
                              int* consumed) {
  int j = 0;
  int k = 0;
  if (source && kinds && values && maxEntries >= 1) {
    int value = 0;
    for (; j < sourceLength; ++j) {
      const unsigned char b = source[j];
      if (b >= '0' && b <= '9') {
        value = withDigit(value, b - '0');
        continue;
      }
      const bool entry = (b >= 0x20 && b <= 0x2F) || (b >= 0x3A && b <= 0x3F);
      const bool final = b >= 0x40 && b <= 0x7F;
      // A 0 byte, a byte that belongs to no sequence, or one entry too many:
      // the scan ends without a final byte.
      if ((!entry && !final) || k >= maxEntries) break;
      if (final) {
        kinds[k] = 'n';
        values[k] = value;
        kinds[k + 1] = static_cast<char>(b);
        kinds[k + 2] = 0;
        if (consumed) *consumed = j + 1;
        return 1;
      }
      if (b == ';') {
        kinds[k] = 'n';
        values[k] = value;
        value = 0;
      } else {
        // A private marker or an intermediate stands for itself; the number
        // being gathered goes on through it.
        kinds[k] = static_cast<char>(b);
        values[k] = 0;
      }
      ++k;
    }
    kinds[k] = 0;
  }
  if (consumed) *consumed = j;
  return 0;
}
