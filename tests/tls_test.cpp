// Sessions over TLS ("tls:" host names) against a TLS host played by the test,
// with certificates made at test time: the handshake from the window's socket
// events, the Telnet session through it byte for byte, records of one byte and
// records larger than one read, the refusals with their messages, Verify=0,
// hosts that are not TLS or close in the handshake, an error mid-session; and
// LU names in the terminal-type answer, with and without TLS.
#include <openssl/ssl.h>

#include <string>

#include "net/socket_io.h"
#include "net/tls.h"
#include "net/tls_session.h"
#include "session_fixture.h"
#include "tls_host.h"
#include "ui/resource.h"

namespace {

using posix::testing::messageBoxes;

const Bytes kIbmAnswer = bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("IBM-3278-2") + bytesOf({0xFF, 0xF0});
const Bytes kAskType = bytesOf({0xFF, 0xFD, 0x18, 0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0});
const Bytes kAgree3270 = bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00});
const std::string kAgreed3270 = "FF FB 19 FF FD 19 FF FB 00 FF FD 00";

class TlsTest : public SessionFixture {
 protected:
  void SetUp() override {
    SessionFixture::SetUp();
    if (TestCertificates().empty()) GTEST_SKIP() << "the openssl command could not make the certificates";
    trustTestCa();
  }
  void trustTestCa(const std::string& more = "") {
    writeFile("quillon.ini", "[TLS]\nCAFile=" + TestCertificates() + "/ca.pem\n" + more);
  }

  // The Connect command to `text` with the TLS host taking the connection.
  // True when the terminal came to the end of the handshake.
  bool connectTls(TlsHost& host, const std::string& text, bool vt100 = false, bool trace = false) {
    messageBoxesBefore = messageBoxes().size();
    host.acceptInBackground();
    DialogAnswer answer;
    answer.host = text;
    answer.vt100 = vt100;
    answer.trace = trace;
    answerDialog(answer);
    SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
    pumpUntil([&] {
      const CommTcp* t = terminal();
      return !t || t->connected == 1 || t->socketHandle == INVALID_SOCKET || messageBoxes().size() > messageBoxesBefore;
    }, 8000);
    return terminal() && terminal()->connected == 1;
  }
  std::string local(const TlsHost& host) const { return "localhost:" + std::to_string(host.port()); }
  // Lets the terminal read until `done` holds.
  bool until(const std::function<bool()>& done) { return pumpUntil(done, 5000); }
  // What the host receives while the terminal goes on handling its events.
  std::string hostGets(TlsHost& host, size_t count, int timeoutMs = 3000) {
    Bytes got;
    pumpUntil([&] {
      const Bytes more = host.receive(count > got.size() ? 1 : 0, 5);
      got.insert(got.end(), more.begin(), more.end());
      return got.size() >= count;
    }, timeoutMs);
    return hex(got);
  }
  // Takes the 3270 negotiation to the end: terminalMode 15.
  void negotiate3270(TlsHost& host, const Bytes& answer = kIbmAnswer) {
    host.send(kAskType);
    EXPECT_EQ(hostGets(host, 3 + answer.size()), "FF FB 18 " + hex(answer));
    host.send(kAgree3270);
    EXPECT_EQ(hostGets(host, 12), kAgreed3270);
    EXPECT_EQ(terminal()->terminalMode, 15);
  }
  std::string lastBox() const { return messageBoxes().empty() ? "" : messageBoxes().back().text; }

  size_t messageBoxesBefore = 0;
};

// A screen of "A".."Z" repeated from position 0, each position set by its own SBA.
Bytes letterRecord(int positions) {
  Bytes record = kEraseWrite;
  for (int p = 0; p < positions; ++p) record = record + sba(static_cast<uint32_t>(p)) + ebcdic(std::string(1, 'A' + p % 26));
  return record + bytesOf({0xFF, 0xEF});
}
std::string letters(int from, int count) {
  std::string s;
  for (int p = from; p < from + count; ++p) s += static_cast<char>('A' + p % 26);
  return s;
}

class TlsVersionTest : public TlsTest, public ::testing::WithParamInterface<int> {};

TEST_P(TlsVersionTest, TelnetSessionRunsThroughTlsByteForByte) {
  TlsHost host("good", GetParam());
  ASSERT_TRUE(host.listening()) << host.error();
  ASSERT_TRUE(connectTls(host, "tls:" + local(host), false, /*trace=*/true)) << lastBox();
  ASSERT_TRUE(host.handshakeDone()) << host.error();
  EXPECT_EQ(hostGets(host, 18), kOpening);
  EXPECT_EQ(caption(), "Quillon  Host:  " + local(host) + "  [TLS]");
  negotiate3270(host);

  // Every byte in a TLS record of its own.
  const Bytes hello = kEraseWrite + sba(0) + sf(0x60) + ebcdic("HELLO") + sf(0x40) + kInsertCursor +
                      bytesOf({0xFF, 0xEF});
  host.send(hello, 1);
  ASSERT_TRUE(until([&] { return posix::testing::rowText(hwnd, 0, 7) == " HELLO "; })) << screenRows(2);
  // A record larger than one read in one TLS record: the rest is read without
  // a network event of its own.
  const Bytes big = letterRecord(1500);
  ASSERT_GT(big.size(), 4096u);
  host.send(big);
  ASSERT_TRUE(until([&] { return posix::testing::rowText(hwnd, 18, 20) == letters(1440, 20); })) << screenRows(19);
  EXPECT_EQ(posix::testing::rowText(hwnd, 0, 80), letters(0, 80));

  // Keys go back through TLS: Enter sends the attention record.
  PostMessageA(hwnd, WM_CHAR, 13, 1);
  const std::string enter = hostGets(host, 5);
  EXPECT_EQ(enter.substr(0, 2), "7D");
  EXPECT_EQ(enter.substr(enter.size() - 5), "FF EF");

  // The trace shows the plain bytes and one line on the session.
  const std::string trace = readTextFile("telntlog.txt");
  const std::string version = GetParam() == TLS1_2_VERSION ? "TLSv1.2" : "TLSv1.3";
  EXPECT_NE(trace.find("\t\t\tTLS: " + version + " "), std::string::npos) << trace.substr(0, 400);
  EXPECT_NE(trace.find("subject /CN=localhost"), std::string::npos);
  EXPECT_NE(trace.find("Recv: [200 c8"), std::string::npos);  // "H" of HELLO, as received

  // The host ends the session: the window closes as after a plain host close.
  host.close();
  EXPECT_TRUE(windowEnded());
  EXPECT_TRUE(messageBoxes().empty()) << lastBox();
}

INSTANTIATE_TEST_SUITE_P(Versions, TlsVersionTest, ::testing::Values(TLS1_3_VERSION, TLS1_2_VERSION),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == TLS1_2_VERSION ? "Tls12" : "Tls13");
                         });

// Each refusal: its message, nothing of the session at the host, the socket
// closed and the window kept; then the user connects again, and Verify=0 takes
// the self-signed host.
TEST_F(TlsTest, UntrustedCertificatesAreRefusedWithTheirReason) {
  const struct {
    const char* certificate;
    TlsFailure failure;
  } cases[] = {
      {"expired", TlsFailure::kExpired},
      {"othername", TlsFailure::kNameMismatch},
      {"strange", TlsFailure::kUnknownIssuer},
      {"self", TlsFailure::kSelfSigned},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.certificate);
    TlsHost host(c.certificate);
    ASSERT_TRUE(host.listening()) << host.error();
    EXPECT_FALSE(connectTls(host, "tls:" + local(host)));
    EXPECT_FALSE(host.handshakeDone());
    ASSERT_EQ(messageBoxes().size(), messageBoxesBefore + 1);
    EXPECT_EQ(messageBoxes().back().text, TlsFailureText(c.failure, "localhost"));
    EXPECT_EQ(messageBoxes().back().caption, "Secure Connection");
    EXPECT_EQ(terminal()->socketHandle, INVALID_SOCKET);
    EXPECT_EQ(terminal()->connected, 0);
    EXPECT_TRUE(IsWindow(hwnd));
  }
  // The address is checked as an address.
  {
    TlsHost host("good");
    ASSERT_TRUE(connectTls(host, "tls:127.0.0.1:" + std::to_string(host.port()))) << lastBox();
  }
  trustTestCa("Verify=0\n");
  TlsHost self("self");
  ASSERT_TRUE(connectTls(self, "tls:" + local(self))) << lastBox();
  ASSERT_TRUE(self.handshakeDone());
  EXPECT_EQ(hostGets(self, 18), kOpening);
  EXPECT_EQ(caption(), "Quillon  Host:  " + local(self) + "  [TLS, unverified]");
}

// A plain Telnet server, and a host that closes during the handshake: each is
// refused with its message at once, nothing hangs.
TEST_F(TlsTest, HostsThatDoNotCompleteTheHandshakeFailCleanly) {
  const struct {
    const char* name;
    bool speaksTelnet;
    TlsFailure failure;
  } cases[] = {{"plain Telnet", true, TlsFailure::kHandshake}, {"closes", false, TlsFailure::kClosed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scripted::Host host;
    const size_t before = messageBoxes().size();
    answerDialog({"tls:localhost:" + std::to_string(host.port())});
    SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
    ASSERT_TRUE(pumpUntil([&] { return terminal()->tlsState == 1; }));
    ASSERT_TRUE(host.accept());
    EXPECT_FALSE(host.receive(5).empty());  // the client's hello
    if (c.speaksTelnet)
      host.send(bytesOf({0xFF, 0xFD, 0x18, 0xFF, 0xFD, 0x20, 0xFF, 0xFD, 0x23, 0xFF, 0xFD, 0x27}));
    else
      host.closeConnection();
    ASSERT_TRUE(pumpUntil([&] { return messageBoxes().size() > before; }, 5000));
    EXPECT_EQ(messageBoxes().back().text, TlsFailureText(c.failure, "localhost"));
    EXPECT_EQ(terminal()->socketHandle, INVALID_SOCKET);
    EXPECT_TRUE(IsWindow(hwnd));
  }
}

// Bytes that are not a valid TLS record in the middle of a session end it as
// a host close does, with a trace line saying why.
TEST_F(TlsTest, BrokenRecordMidSessionEndsTheSession) {
  TlsHost host("good");
  ASSERT_TRUE(connectTls(host, "tls:" + local(host), true, true)) << lastBox();
  ASSERT_TRUE(host.handshakeDone());
  hostGets(host, 18);
  host.sendRaw(bytesOf({0x17, 0x03, 0x03, 0x00, 0x05, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(windowEnded());
  EXPECT_TRUE(messageBoxes().empty()) << lastBox();
  EXPECT_NE(readTextFile("telntlog.txt").find("TLS: session failed"), std::string::npos);
}

// A key typed while a renegotiation the host asked for waits for the host:
// the write waits a while, then the session ends like a broken one; when the
// host has closed, at once. Either way the window is not held up for good.
class TlsRenegotiationTest : public TlsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TlsRenegotiationTest, WriteDuringAnUnansweredRenegotiationEndsTheSession) {
  const bool hostCloses = GetParam();
  TlsHost host("good", TLS1_2_VERSION);
  ASSERT_TRUE(connectTls(host, "tls:" + local(host), true, true)) << lastBox();
  ASSERT_TRUE(host.handshakeDone());
  hostGets(host, 18);
  host.requestRenegotiation();
  host.send(text("x"));  // the terminal reads the request with this
  ASSERT_TRUE(until([&] { return terminal()->cursorColumn == 1; }));
  if (hostCloses) host.close();
  // The send fails, and so does SendData: nothing of it is traced as sent.
  unsigned char key[1] = {'k'};
  EXPECT_EQ(SendData(hwnd, terminal()->socketHandle, terminal()->traceFile, key, 1), 0);
  EXPECT_TRUE(windowEnded());
  const std::string trace = readTextFile("telntlog.txt");
  EXPECT_NE(trace.find("TLS: session failed"), std::string::npos);
  EXPECT_EQ(trace.find("send: [107 6b k]"), std::string::npos) << trace;
}

INSTANTIATE_TEST_SUITE_P(Host, TlsRenegotiationTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Closes" : "Silent"; });

// ---- LU names -----------------------------------------------------------------------------

const Bytes kLuAnswer = bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("IBM-3278-2@LU0012") + bytesOf({0xFF, 0xF0});

TEST_F(TlsTest, LuNameFollowsTheTerminalTypeOnPlainAndPassiveConnections) {
  const struct {
    const char* prefix;
    bool vt100;
    std::string opening;
    Bytes answer;
  } cases[] = {
      {"", false, kOpening, kLuAnswer},
      {"passive:", false, "", kLuAnswer},
      // In VT100 mode the LU name is left out.
      {"", true, kOpening, bytesOf({0xFF, 0xFA, 0x18, 0x00}) + text("VT100") + bytesOf({0xFF, 0xF0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.prefix) + (c.vt100 ? " vt100" : " 3270"));
    scripted::Host host;
    DialogAnswer answer;
    answer.vt100 = c.vt100;
    connectTo(host, answer, std::string(c.prefix) + "LU0012@", c.opening);
    host.send(kAskType);
    letTerminalRead();
    EXPECT_EQ(hex(host.receive(3 + c.answer.size())), "FF FB 18 " + hex(c.answer));
  }
}

TEST_F(TlsTest, LuNameThroughTlsAndPassiveAgainstAHostThatSpeaksFirst) {
  TlsHost host("good");
  ASSERT_TRUE(connectTls(host, "TLS:passive:LU0012@" + local(host))) << lastBox();
  ASSERT_TRUE(host.handshakeDone());
  EXPECT_EQ(hostGets(host, 1, 300), "");  // nothing until the host asks
  negotiate3270(host, kLuAnswer);
}

TEST_F(TlsTest, InvalidLuNameOrPortIsRefusedBeforeAnyConnection) {
  scripted::Host host;
  const std::string address = host.address();
  const std::string name = address.substr(0, address.rfind(':'));
  struct Case {
    std::string text, caption, message;
  };
  for (const Case& c : {Case{"LU-12@" + address, "LU Name", "LU name \"LU-12\""},
                        Case{name + ":70000", "Port", "The port \"70000\" is not valid"}}) {
    SCOPED_TRACE(c.text);
    posix::testing::clearMessageBoxes();
    answerDialog({c.text});
    SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
    posix::testing::pumpUntilIdle();
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].caption, c.caption);
    EXPECT_NE(messageBoxes()[0].text.find(c.message), std::string::npos) << messageBoxes()[0].text;
    EXPECT_FALSE(host.accept(300));
    EXPECT_TRUE(IsWindow(hwnd));
  }
}

// The TLS channel stays with the object that made it: ending it there, or
// deleting the objects in either order, deletes it exactly once (the
// sanitizers see a second delete or a leak).
TEST_F(ScratchTest, CopiesDoNotShareTheTlsChannel) {
  for (const bool originalFirst : {true, false}) {
    auto* original = new CommTcp;
    ASSERT_EQ(original->ComTcpInit(), 1);
    original->tlsChannel = CreateTlsChannel(INVALID_SOCKET, "host", TlsOptions{}).release();
    original->tlsState = 2;
    auto* copy = new CommTcp(*original);
    EXPECT_EQ(static_cast<TlsChannel*>(copy->tlsChannel), nullptr);
    CommTcp assigned;
    ASSERT_EQ(assigned.ComTcpInit(), 1);
    assigned = *original;
    EXPECT_EQ(static_cast<TlsChannel*>(assigned.tlsChannel), nullptr);
    if (originalFirst) {
      TlsEnd(*original);  // the connection ends
      delete original;
      delete copy;
    } else {
      delete copy;
      delete original;  // its channel goes with it
    }
  }
}

}  // namespace
