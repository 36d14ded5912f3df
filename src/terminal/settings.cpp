#include "terminal/settings.h"

#include <cstdint>
#include <cstdio>

namespace {

bool isScanfSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One "%d": optional blanks, an optional sign, at least one digit. The value
// wraps modulo 2^32, so any length of digits is safe and the low bits are exact.
bool scanInt(const char*& p, uint32_t* value) {
  const char* q = p;
  while (isScanfSpace(*q)) ++q;
  bool negative = false;
  if (*q == '+' || *q == '-') negative = *q++ == '-';
  if (*q < '0' || *q > '9') return false;
  uint32_t v = 0;
  while (*q >= '0' && *q <= '9') v = v * 10u + static_cast<uint32_t>(*q++ - '0');
  *value = negative ? 0u - v : v;
  p = q;
  return true;
}

}  // namespace

int ParseColorTriple(const char* text, COLORREF fallback, COLORREF* color) {
  uint32_t parts[3] = {GetRValue(fallback), GetGValue(fallback), GetBValue(fallback)};
  int converted = 0;
  const char* p = text ? text : "";
  for (; converted < 3; ++converted) {
    if (converted > 0) {
      if (*p != ',') break;
      ++p;
    }
    if (!scanInt(p, &parts[converted])) break;
  }
  *color = RGB(parts[0] & 0xFF, parts[1] & 0xFF, parts[2] & 0xFF);
  return converted;
}

COLORREF ReadColorSetting(const char* key, const char* defaultValue) {
  COLORREF fallback = 0;
  ParseColorTriple(defaultValue, 0, &fallback);
  char value[120] = {0};
  GetPrivateProfileStringA(QUILLON_SETTINGS_SECTION, key, defaultValue, value, sizeof value,
                           QUILLON_SETTINGS_FILE);
  COLORREF color = fallback;
  ParseColorTriple(value, fallback, &color);
  return color;
}

void WriteColorSetting(const char* key, COLORREF color) {
  char value[16];
  std::snprintf(value, sizeof value, "%d,%d,%d", GetRValue(color), GetGValue(color), GetBValue(color));
  WritePrivateProfileStringA(QUILLON_SETTINGS_SECTION, key, value, QUILLON_SETTINGS_FILE);
}

int ReadAutoWrapSetting() {
  return GetPrivateProfileIntA(QUILLON_VT100_SECTION, "AutoWrap", 1, QUILLON_SETTINGS_FILE) != 0 ? 1 : 0;
}
