#include "net/host_text.h"

#include <cctype>

namespace {

// The text after `prefix` when `text` starts with it (any case) and what follows
// is a name rather than nothing or a bare port number.
bool takePrefix(std::string* text, const char* prefix) {
  size_t n = 0;
  for (; prefix[n]; ++n) {
    if (n >= text->size()) return false;
    if (std::tolower(static_cast<unsigned char>((*text)[n])) != prefix[n]) return false;
  }
  bool onlyDigits = true;
  for (size_t i = n; i < text->size() && onlyDigits; ++i)
    onlyDigits = std::isdigit(static_cast<unsigned char>((*text)[i])) != 0;
  if (onlyDigits) return false;
  text->erase(0, n);
  return true;
}

// "name:port" when what follows the last colon is a port number. False when
// it is all digits but no port (0, or above 65535): that is no host name either.
bool splitPort(std::string* name, unsigned short* port) {
  const size_t colon = name->rfind(':');
  if (colon == std::string::npos || colon + 1 >= name->size()) return true;
  unsigned long value = 0;
  for (size_t i = colon + 1; i < name->size(); ++i) {
    const char c = (*name)[i];
    if (c < '0' || c > '9') return true;
    if (value <= 65535) value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<unsigned short>(value);
  name->resize(colon);
  return true;
}

bool validLu(const std::string& lu) {
  if (lu.empty() || lu.size() > 8) return false;
  for (char c : lu)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '#' && c != '@' && c != '$') return false;
  return true;
}

}  // namespace

bool ParseHostText(const std::string& text, HostText* out, std::string* error) {
  *out = HostText{};
  std::string rest = text;
  for (int k = 0; k < 2; ++k) {
    if (!out->tls && takePrefix(&rest, "tls:")) out->tls = true;
    if (!out->passive && takePrefix(&rest, "passive:")) out->passive = true;
  }
  out->shown = rest;
  // Host names have no "@"; LU names may: the last one separates them.
  const size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    out->lu = rest.substr(0, at);
    rest.erase(0, at + 1);
    if (!validLu(out->lu)) {
      out->refusedPart = "LU Name";
      if (error) *error = "The LU name \"" + out->lu + "\" is not valid: it must be 1 to 8 letters, digits, #, @ or $.";
      return false;
    }
  }
  if (!splitPort(&rest, &out->port)) {
    out->refusedPart = "Port";
    if (error) *error = "The port \"" + rest.substr(rest.rfind(':') + 1) + "\" is not valid: it must be a number from 1 to 65535.";
    return false;
  }
  out->name = rest;
  return true;
}
