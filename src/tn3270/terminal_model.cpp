#include "tn3270/terminal_model.h"

#include <cctype>
#include <cstring>

#include "platform/win32.h"
#include "terminal/settings.h"

namespace {

struct Size {
  int rows, columns;
};
// Alternate sizes of models 2..5.
constexpr Size kAlternate[4] = {{24, 80}, {32, 80}, {43, 80}, {27, 132}};
static_assert(43 * 80 <= kMaxModelPositions && 27 * 132 <= kMaxModelPositions, "every size fits the screen arrays");

const Size& alternate(const TerminalModel& m) {
  const int i = m.number >= 2 && m.number <= 5 ? m.number - 2 : 0;
  return kAlternate[i];
}

}  // namespace

int AlternateRows(const TerminalModel& m) { return alternate(m).rows; }
int AlternateColumns(const TerminalModel& m) { return alternate(m).columns; }

bool ParseTerminalModel(const char* text, TerminalModel* out) {
  if (text == nullptr) return false;
  char s[16] = {0};
  const size_t n = strnlen(text, sizeof s);
  if (n == 0 || n >= sizeof s) return false;
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  TerminalModel m;
  const char* p = s;
  if (std::strncmp(p, "327", 3) == 0 && (p[3] == '8' || p[3] == '9') && p[4] == '-') {
    m.color = p[3] == '9';
    p += 5;
  }
  if (*p < '2' || *p > '5') return false;
  m.number = static_cast<uint8_t>(*p++ - '0');
  if (std::strcmp(p, "-E") == 0) {
    m.extended = 1;
  } else if (*p != '\0') {
    return false;
  }
  *out = m;
  return true;
}

std::string TerminalModelName(const TerminalModel& m) {
  std::string name = m.color ? "3279-" : "3278-";
  name += static_cast<char>('0' + (m.number >= 2 && m.number <= 5 ? m.number : 2));
  if (m.extended) name += "-E";
  return name;
}

std::string TerminalTypeName(const TerminalModel& m) { return "IBM-" + TerminalModelName(m); }

TerminalModel ReadModelSetting() {
  char value[32] = {0};
  GetPrivateProfileStringA(QUILLON_3270_SECTION, "Model", "", value, sizeof value, QUILLON_SETTINGS_FILE);
  TerminalModel m;
  ParseTerminalModel(value, &m);
  return m;
}

bool WriteModelSetting(const TerminalModel& m) {
  return WritePrivateProfileStringA(QUILLON_3270_SECTION, "Model", TerminalModelName(m).c_str(),
                                    QUILLON_SETTINGS_FILE) != 0;
}

bool ReadTn3270eSetting() {
  return GetPrivateProfileIntA(QUILLON_3270_SECTION, "TN3270E", 0, QUILLON_SETTINGS_FILE) == 1;
}
