// Host texts as users type them: [tls:][passive:][LU@]host[:port], the two
// prefixes in either order and any case. Read in one place for the host
// dialog, the command line, ncTcpConnectToHost and scripts.
#pragma once

#include <string>

#include "quillon_api.h"

// Characters a host text may have (the dialog and the object keep this many).
constexpr int kHostTextSize = 256;  // with the terminating NUL
// Port of Telnet over TLS (telnets).
constexpr unsigned short kTelnetsPort = 992;

struct HostText {
  bool tls = false;      // "tls:": the connection is wrapped in TLS
  bool passive = false;  // "passive:": the host negotiates first
  std::string lu;        // "LU@": the LU name asked for, empty when none
  std::string name;      // host name or dotted address
  unsigned short port = 0;  // 0: none given
  // The text without its prefixes ("LU@host:port"), as the caption shows it.
  std::string shown;
  // When the text is refused, the part at fault as a message box captions
  // it: "LU Name" or "Port".
  std::string refusedPart;
};

// Reads a host text. A prefix followed by nothing or only digits is not a
// prefix, so "passive:23" stays host "passive" on port 23. False, with *error
// set to the message for the user, when the LU name is not 1 to 8 letters,
// digits, "#", "@" or "$", or the port is not a number from 1 to 65535.
QUILLON_API bool ParseHostText(const std::string& text, HostText* out, std::string* error);
