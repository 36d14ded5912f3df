// The VT100 plain-text path as a connected terminal runs it: a host on a
// loopback TCP socket sends the input, the program's message loop dispatches
// the socket's read events, RecvData takes at most a receive buffer's worth
// and ParseData interprets and repaints it. Once over plain Telnet and once
// through a TLS session (the certificate checked against a CA made at
// benchmark time, OpenSSL on both ends), with the same host, the same writes
// and the same loop, so that the only difference between the two figures is
// TLS. Rates are per CPU second of the terminal's thread: the host's thread,
// which writes and encrypts, is not counted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench.h"
#include "net/tls.h"
#include "platform/posix/testing.h"
#include "stream_host.h"
#include "terminal_session.h"

#ifndef QUILLON_BENCH_CERT_SCRIPT
#define QUILLON_BENCH_CERT_SCRIPT "make-test-certs.sh"
#endif

namespace bench {
namespace {

constexpr int kConnectTimeoutMs = 20000;

// The certificates of the TLS host, made once per run with the openssl
// command (tests/make-test-certs.sh) in the scratch directory: a CA, and a
// certificate for localhost and 127.0.0.1 that it signed. "" when they could
// not be made.
const std::string& certificates() {
  static const std::string dir = [] {
    std::error_code ec;
    const std::string target = (std::filesystem::current_path(ec) / "tls-certificates").string();
    const std::string command =
        std::string("sh '") + QUILLON_BENCH_CERT_SCRIPT + "' '" + target + "' > /dev/null 2>&1";
    if (ec || std::system(command.c_str()) != 0 || !std::filesystem::exists(target + "/good.pem", ec))
      return std::string();
    return target;
  }();
  return dir;
}

// The [TLS] section of .\quillon.ini names the CA while it exists.
class TrustedCa {
 public:
  explicit TrustedCa(const std::string& caFile) : written_(!caFile.empty()) {
    if (written_) std::ofstream("quillon.ini") << "[TLS]\nCAFile=" << caFile << "\n";
  }
  ~TrustedCa() {
    std::error_code ignored;
    if (written_) std::filesystem::remove("quillon.ini", ignored);
  }

 private:
  bool written_;
};

// The line that ends pass `pass`: what the loop waits for on the cursor's row.
std::string endOfPass(int64_t pass) {
  char text[40];
  std::snprintf(text, sizeof text, "end of pass %08lld", static_cast<long long>(pass));
  return text;
}

void connectedVt100(benchmark::State& state, const Input* input, bool tls) {
  std::string certificate;
  if (tls) {
    if (certificates().empty()) {
      state.SkipWithError("the openssl command could not make the certificates");
      return;
    }
    certificate = certificates() + "/good";
  }
  // The terminal checks the host's certificate as it does by default, against the CA.
  const TrustedCa trust(tls ? certificates() + "/ca.pem" : "");
  // Declared first, so that the terminal ends its session before the host goes.
  StreamHost host(certificate);
  TerminalSession session;
  if (!session.error().empty()) {
    state.SkipWithError(session.error().c_str());
    return;
  }
  if (!host.start(&input->bytes)) {
    state.SkipWithError(("the host did not start: " + host.error()).c_str());
    return;
  }
  const std::string address = std::string(tls ? "tls:" : "") + "127.0.0.1:" + std::to_string(host.port());
  const auto hostAlive = [&] { return !host.failed(); };
  if (!session.connect(address, hostAlive, kConnectTimeoutMs)) {
    state.SkipWithError((session.error() + " " + host.error()).c_str());
    return;
  }
  // The host answers the opening negotiation; the terminal takes the answer in.
  for (int waited = 0; !host.ready() && !host.failed() && waited < kConnectTimeoutMs; ++waited)
    posix::testing::pumpFor(1);
  posix::testing::pumpFor(50);
  if (!host.ready() || !IsWindow(session.window) || session.t->connected != 1) {
    state.SkipWithError(("the session did not start: " + host.error()).c_str());
    return;
  }

  CommTcp& t = *session.t;
  session.readEvents = 0;
  int64_t pass = 0;
  std::string tail;
  bool complete = true;
  for (auto _ : state) {
    const std::string marker = endOfPass(++pass);
    tail = "\r\n" + marker;
    host.sendPass(tail);
    // Until the end of the pass shows on the cursor's row: every byte of it
    // has then gone through RecvData and ParseData.
    if (!session.runUntil([&] {
          return t.cursorRow >= 0 && t.cursorRow < kNvtMaxRows &&
                 posix::testing::rowText(session.window, t.cursorRow, static_cast<int>(marker.size())) == marker;
        })) {
      complete = false;
      break;
    }
  }
  const int64_t bytes =
      static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input->bytes.size() + tail.size());
  state.SetBytesProcessed(bytes);
  // How much each read event took in: a read path that delivers short pieces
  // repaints more often for the same bytes.
  if (session.readEvents > 0)
    state.counters["bytes_per_read"] = static_cast<double>(bytes) / static_cast<double>(session.readEvents);
  if (!complete) {
    state.SkipWithError(("the session ended before the input did: " + host.error()).c_str());
  } else if (session.messageBoxes() != 0) {
    state.SkipWithError(("a message box: " + posix::testing::messageBoxes().back().text).c_str());
  } else if (tls != (t.tlsState == kTlsEstablished && t.tlsChannel)) {
    state.SkipWithError(tls ? "the session was not TLS" : "the session was TLS");
  } else if (tls) {
    state.SetLabel(t.tlsChannel->Description().substr(0, t.tlsChannel->Description().find(" subject")));
  }
}

}  // namespace

void registerConnectedVt100(const Input* plain) {
  const std::string name = plain->name.substr(0, plain->name.find('.'));
  benchmark::RegisterBenchmark((name + "/telnet").c_str(), connectedVt100, plain, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((name + "/tls").c_str(), connectedVt100, plain, true)->Unit(benchmark::kMillisecond);
}

}  // namespace bench
