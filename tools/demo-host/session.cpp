#include "session.h"

#include "tn3270e.h"

#include <chrono>
#include <cstdio>

namespace demohost {

using namespace telnet;

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void closeAfter(TelnetConnection& tn, int delayMs) {
  const int64_t deadline = nowMs() + delayMs;
  for (int64_t left = delayMs; left > 0; left = deadline - nowMs()) {
    if (tn.pump(static_cast<int>(left)) == TelnetConnection::Wait::Closed) break;
    tn.events().clear();
  }
  tn.finish(2000);
}

bool is3270Type(const std::string& type) {
  std::string upper;
  for (char c : type) upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  return upper.rfind("IBM-3278", 0) == 0 || upper.rfind("IBM-3279", 0) == 0;
}

bool isExtendedType(const std::string& type) {
  const std::string name = type.substr(0, type.find('@'));
  const size_t n = name.size();
  return n >= 2 && name[n - 2] == '-' && (name[n - 1] == 'E' || name[n - 1] == 'e');
}

namespace {

// Pumps the connection until the condition holds or the time is up; false
// when the client went away.
template <typename Done>
bool waitFor(TelnetConnection& tn, int timeoutMs, Done done) {
  const int64_t deadline = nowMs() + timeoutMs;
  while (!done()) {
    const int64_t left = deadline - nowMs();
    if (left <= 0) break;
    if (tn.pump(static_cast<int>(left)) == TelnetConnection::Wait::Closed) return false;
  }
  return true;
}

}  // namespace

void runSession(int fd, int number, const HostOptions& options) {
  TelnetConnection tn(fd);
  SessionInfo info;
  info.number = number;

  // TN3270E is offered first. A strict host speaks first and resets a client
  // that does not wait for it.
  if (options.strict) tn.requireFirstAnswer(OPT_TN3270E);
  tn.askHim(OPT_TN3270E);
  if (!waitFor(tn, options.negotiationTimeoutMs,
               [&] { return tn.enabledHim(OPT_TN3270E) || tn.declinedHim(OPT_TN3270E); })) {
    if (tn.spokeFirst())
      std::fprintf(stderr, "quillon-demo-host: session %d: the client spoke first; connection reset\n", number);
    return;
  }
  if (tn.enabledHim(OPT_TN3270E)) {
    tn3270e::Agreement agreed;
    const tn3270e::Outcome outcome = tn3270e::negotiate(tn, number, options.negotiationTimeoutMs, agreed);
    if (outcome == tn3270e::Outcome::Closed) return;
    if (outcome == tn3270e::Outcome::Agreed) {
      info.terminalType = agreed.deviceType;
      info.tn3270e = true;
      info.lu = agreed.lu;
      // Answers held back for the kind of session (echo) go out now, and every
      // record carries a header from here on.
      tn.setKind(SessionKind::Tn3270);
      tn.useRecordHeaders();
      std::fprintf(stderr, "quillon-demo-host: session %d: TN3270E, LU %s, device type \"%s\", functions %s\n", number,
                   agreed.lu.c_str(), agreed.deviceType.c_str(), tn3270e::functionNames(agreed.functions).c_str());
      if (tn3270e::hasFunction(agreed.functions, tn3270e::FN_BIND_IMAGE))
        tn.sendTypedRecord(tn3270e::DT_BIND_IMAGE, tn3270e::bindImage(agreed.model));
      run3270(tn, info, options);
      std::fprintf(stderr, "quillon-demo-host: session %d: ended\n", number);
      return;
    }
  }
  if (options.tn3270eOnly) {
    std::fprintf(stderr, "quillon-demo-host: session %d: no TN3270E; turned away\n", number);
    tn.sendData("This host serves TN3270E clients only; this client did not agree to TN3270E.\r\n");
    closeAfter(tn, options.logoffDelayMs);
    return;
  }

  tn.askHim(OPT_TTYPE);
  if (!waitFor(tn, options.negotiationTimeoutMs,
               [&] { return tn.terminalTypeKnown() || tn.declinedHim(OPT_TTYPE); }))
    return;
  info.terminalType = tn.terminalType();

  bool tn3270 = is3270Type(info.terminalType);
  if (tn3270) {
    // The 3270 data stream travels in binary records: both options, both ways.
    tn.setKind(SessionKind::Tn3270);
    const auto agreedBoth = [&](uint8_t option) { return tn.enabledHim(option) && tn.enabledUs(option); };
    const auto declinedEither = [&](uint8_t option) { return tn.declinedHim(option) || tn.declinedUs(option); };
    const auto agreed = [&] { return agreedBoth(OPT_EOR) && agreedBoth(OPT_BINARY); };
    const auto declined = [&] { return declinedEither(OPT_EOR) || declinedEither(OPT_BINARY); };
    if (options.strict) {
      // One step at a time, each pair in one write: END-OF-RECORD, then BINARY.
      for (const uint8_t option : {OPT_EOR, OPT_BINARY}) {
        tn.askBoth(option);
        if (!waitFor(tn, options.negotiationTimeoutMs, [&] { return agreedBoth(option) || declinedEither(option); }))
          return;
        if (!agreedBoth(option)) break;
      }
    } else {
      tn.askHim(OPT_EOR);
      tn.askUs(OPT_EOR);
      tn.askHim(OPT_BINARY);
      tn.askUs(OPT_BINARY);
      if (!waitFor(tn, options.negotiationTimeoutMs, [&] { return agreed() || declined(); })) return;
    }
    if (!agreed()) {
      tn3270 = false;
      info.note = "The 3270 data stream needs BINARY and END-OF-RECORD both ways; this is a line-mode session.";
    }
  }

  std::fprintf(stderr, "quillon-demo-host: session %d: terminal type \"%s\", %s\n", number,
               info.terminalType.c_str(), tn3270 ? "3270" : "line mode");
  if (tn3270) {
    run3270(tn, info, options);
  } else {
    tn.setKind(SessionKind::Nvt);
    runNvt(tn, info, options);
  }
  std::fprintf(stderr, "quillon-demo-host: session %d: ended\n", number);
}

}  // namespace demohost
