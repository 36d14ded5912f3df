// One client session: TN3270E is offered first; a client that takes it gets
// the 3270 application behind record headers. Otherwise the kind is told apart
// by the terminal type the client sends, then the 3270 application or the
// line-mode (NVT) application runs.
#pragma once

#include <cstdint>
#include <string>

#include "telnet.h"

namespace demohost {

struct HostOptions {
  int port = 2323;
  // How long the goodbye stays on the screen before the host closes the connection.
  int logoffDelayMs = 1000;
  // How long the host waits for each step of the negotiation.
  int negotiationTimeoutMs = 3000;
  // How long the host waits for an extended terminal's Query Reply.
  int queryTimeoutMs = 2000;
  // Behave like hosts that reset a client which sends anything before the host
  // has asked for its terminal type, and negotiate one step at a time.
  bool strict = false;
  // Serve TN3270E clients only: a client that does not agree to TN3270E is
  // told so and disconnected.
  bool tn3270eOnly = false;
};

struct SessionInfo {
  int number = 0;
  std::string terminalType;  // "" when the client did not tell
  std::string note;          // why a 3270 terminal got a line-mode session, if it did
  // Under TN3270E: the device type stands in terminalType, and the LU the client got.
  bool tn3270e = false;
  std::string lu;
};

// Runs one session on a connected socket (which it closes) to the end.
void runSession(int fd, int number, const HostOptions& options);

void run3270(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options);
void runNvt(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options);

// True for the 3270 display types ("IBM-3278-2" and its relatives), in any case.
bool is3270Type(const std::string& terminalType);
// True for the extended display types, whose names end in "-E" ("IBM-3279-4-E"),
// in any case and with or without an "@" and a device name after it.
bool isExtendedType(const std::string& terminalType);

int64_t nowMs();

// Keeps the connection open for a while (reading and dropping what the client
// sends), then closes it.
void closeAfter(TelnetConnection& tn, int delayMs);

}  // namespace demohost
