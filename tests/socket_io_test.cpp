// Bytes to and from the host through SendData / RecvData, their trace dump, the
// socket error box, and the Winsock calls underneath them.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "loopback.h"
#include "net/socket_io.h"
#include "platform/posix/winsock_bridge.h"
#include "socket_host.h"

namespace {

using posix::testing::messageBoxes;

// A scratch directory, a started socket layer and a trace file to read back.
class SocketIoTest : public TerminalWindowTest {
 protected:
  void SetUp() override {
    TerminalWindowTest::SetUp();
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    trace_ = std::fopen("telntlog.txt", "w");
    ASSERT_NE(trace_, nullptr);
  }
  void TearDown() override {
    closeTrace();
    TerminalWindowTest::TearDown();
  }
  void closeTrace() {
    if (trace_) std::fclose(trace_);
    trace_ = nullptr;
  }
  std::string traceText() {
    closeTrace();
    return readFile("telntlog.txt");
  }
  static SOCKET sock(int fd) { return static_cast<SOCKET>(fd); }
  FILE* trace_ = nullptr;
};

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

std::vector<uint8_t> pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST_F(SocketIoTest, SendDumpsEveryByteExactly) {
  Loopback lb;
  unsigned char data[] = {0xC1, 0x00, 0x0A, 0xFF, 0x4A};
  EXPECT_EQ(SendData(nullptr, sock(lb.client), trace_, data, 5), 1);
  EXPECT_EQ(hex(lb.hostReceives()), "C1 00 0A FF 4A");  // nothing added, 255 not doubled
  EXPECT_EQ(traceText(),
            "\n"
            "send: [193 c1 \xC1] [A] \n"
            "send: [0  0  ] [ ] \n"  // a zero byte shows as a blank
            "send: [10  a \n] [ ] \n"
            "send: [255 ff \xFF] [ ] \n"
            "send: [74 4a J] [\x9B] \n"
            "\t\t\tSending: 5 Number Of Bytes \n");
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(SocketIoTest, ReceiveDumpsEveryByteExactly) {
  Loopback lb;
  lb.hostSends(bytesOf({0x7D, 0x00, 0x1C, 0x5B}));
  ASSERT_TRUE(sockhost::waitForReadable(lb.client, 4));
  unsigned char buffer[kReceiveBufferSize];
  int length = -1;
  EXPECT_EQ(RecvData(nullptr, sock(lb.client), trace_, buffer, &length), 1);
  ASSERT_EQ(length, 4);
  EXPECT_EQ(hex(std::vector<uint8_t>(buffer, buffer + 4)), "7D 00 1C 5B");
  EXPECT_EQ(traceText(),
            "\n"
            "Recv: [125 7d }]  ['] \n"
            "Recv: [0  0  ]  [ ] \n"
            "Recv: [28 1c \x1C]  [*] \n"
            "Recv: [91 5b []  [$] \n"
            "\t\t\tReceiving: 4 Number Of Bytes \n");
}

TEST_F(SocketIoTest, NothingToSendSendsAndTracesNothing) {
  Loopback lb;
  unsigned char data[] = {'x'};
  for (int length : {0, -1}) {
    EXPECT_EQ(SendData(nullptr, sock(lb.client), trace_, data, length), 0) << length;
  }
  EXPECT_TRUE(lb.hostReceives(100).empty());
  EXPECT_EQ(traceText(), "");
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(SocketIoTest, SendWithoutASocketReportsAndSendsNothing) {
  HWND window = createMainWindow();
  unsigned char data[] = {'x'};
  WSASetLastError(WSAENOTSOCK);
  EXPECT_EQ(SendData(window, INVALID_SOCKET, trace_, data, 1), 0);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].owner, window);
  EXPECT_EQ(messageBoxes()[0].caption, "INVALID_SOCKET Before Sending");
  EXPECT_EQ(messageBoxes()[0].text, "Errror 10038 Socket Operation On nonsocket occurred in INVALID_SOCKET Before Sending");
  EXPECT_EQ(traceText(), "");
}

TEST_F(SocketIoTest, BlockTakenInPartsArrivesWholeAndIsTracedOnce) {
  Loopback lb;
  lb.makeClientNonBlocking();
  sockhost::shrinkBuffers(lb.client, 16384, 16384);
  sockhost::shrinkBuffers(lb.server, 16384, 16384);
  std::vector<uint8_t> block = pattern(1 << 20);
  std::vector<uint8_t> arrived;
  std::thread host([&] { arrived = sockhost::drainSlowly(lb.server, block.size()); });
  EXPECT_EQ(SendData(nullptr, sock(lb.client), trace_, block.data(), static_cast<int>(block.size())), 1);
  host.join();
  EXPECT_TRUE(arrived == block) << "arrived " << arrived.size() << " bytes";
  EXPECT_TRUE(messageBoxes().empty());
  const std::string text = traceText();
  EXPECT_EQ(countOf(text, "send: ["), block.size());
  EXPECT_EQ(countOf(text, "Sending:"), 1u);
  const std::string end = "\t\t\tSending: 1048576 Number Of Bytes \n";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

TEST_F(SocketIoTest, SendToAClosedHostReportsButStillDumpsTheBlock) {
  Loopback lb;
  lb.makeClientNonBlocking();
  sockhost::shrinkBuffers(lb.client, 4096, 4096);
  lb.closeHost();
  ASSERT_TRUE(sockhost::waitForPeerClose(lb.client));
  std::vector<uint8_t> block = pattern(256 * 1024);
  EXPECT_EQ(SendData(nullptr, sock(lb.client), trace_, block.data(), static_cast<int>(block.size())), 1);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].caption, "Sending A Char");
  EXPECT_EQ(messageBoxes()[0].text, "Errror 10054 Connection Reset By Peer occurred in Sending A Char");
  const std::string text = traceText();
  EXPECT_EQ(countOf(text, "send: ["), block.size());
  EXPECT_NE(text.find("\t\t\tSending: 262144 Number Of Bytes \n"), std::string::npos);
}

TEST_F(SocketIoTest, ReceiveWithNothingReadyReadsNothing) {
  Loopback lb;  // blocking: the read must not wait either
  unsigned char buffer[kReceiveBufferSize];
  int length = -1;
  EXPECT_EQ(RecvData(nullptr, sock(lb.client), trace_, buffer, &length), 1);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(traceText(), "\n\t\t\tReceiving: 0 Number Of Bytes \n");
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(SocketIoTest, ReceiveLeavesRoomForThePendingTail) {
  struct Case {
    bool withTerminal;
    int tail;
    int held;
    int firstRead;
  };
  const Case cases[] = {
      {false, 0, 0, 4095},    // no terminal object: only the terminator byte is kept free
      {true, 0, 0, 4095},
      {true, 100, 0, 3995},
      {true, 100, 10, 3985},  // a held Telnet command goes in front too
      {true, 4095, 0, 3071},  // a tail never counts for more than the longest one kept
      {true, -7, 0, 4095},    // a nonsense tail counts as none
  };
  HWND window = createMainWindow();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    Loopback lb;
    const std::vector<uint8_t> sent = pattern(5000);
    lb.hostSends(sent);
    ASSERT_TRUE(sockhost::waitForReadable(lb.client, 5000));
    terminal()->pendingTailLength = c.tail;
    terminal()->heldCommandLength = c.held;
    unsigned char* buffer = terminal()->receiveBuffer;
    HWND owner = c.withTerminal ? window : nullptr;
    int length = -1;
    ASSERT_EQ(RecvData(owner, sock(lb.client), nullptr, buffer, &length), 1);
    ASSERT_EQ(length, c.firstRead);
    std::vector<uint8_t> got(buffer, buffer + length);
    terminal()->pendingTailLength = 0;
    terminal()->heldCommandLength = 0;
    while (got.size() < sent.size()) {
      ASSERT_EQ(RecvData(owner, sock(lb.client), nullptr, buffer, &length), 1);
      ASSERT_GT(length, 0);
      got.insert(got.end(), buffer, buffer + length);
    }
    EXPECT_TRUE(got == sent);
  }
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(SocketIoTest, ReceiveFailuresAreReported) {
  {
    int length = -1;
    unsigned char buffer[16];
    EXPECT_EQ(RecvData(nullptr, INVALID_SOCKET, trace_, buffer, &length), 0);
    EXPECT_EQ(length, 0);
  }
  Loopback lb;
  sockhost::resetAndClose(lb.server);
  lb.server = -1;
  ASSERT_TRUE(sockhost::waitForPeerClose(lb.client));
  unsigned char buffer[kReceiveBufferSize];
  int length = -1;
  EXPECT_EQ(RecvData(nullptr, sock(lb.client), trace_, buffer, &length), 1);
  EXPECT_EQ(length, 0);

  ASSERT_EQ(messageBoxes().size(), 2u);
  EXPECT_EQ(messageBoxes()[0].caption, "ioctlsocket error in new line");
  EXPECT_EQ(messageBoxes()[0].text, "Errror 10038 Socket Operation On nonsocket occurred in ioctlsocket error in new line");
  EXPECT_EQ(messageBoxes()[1].caption, "recv()");
  EXPECT_EQ(messageBoxes()[1].text, "Errror 10054 Connection Reset By Peer occurred in recv()");
  // The failed query traces nothing; the failed read traces an empty dump and recv's result.
  EXPECT_EQ(traceText(), "\n\t\t\tReceiving: -1 Number Of Bytes \n");
}

TEST_F(SocketIoTest, ErrorBoxNamesCodeTextAndPlace) {
  struct Case {
    int code;
    const char* where;
    const char* text;
  };
  const Case cases[] = {
      {10004, "recv()", "Errror 10004 Interrupted function call occurred in recv()"},
      {10061, "Sending A Char", "Errror 10061 Connect Refused occurred in Sending A Char"},
      {10009, "getservbyname", "Errror 10009 bad file descriptor occurred in getservbyname"},
      {11004, "x", "Errror 11004 Valid name, no data of that type occurred in x"},
      {0, "recv()", "Errror 0     occurred in recv()"},  // unlisted: the text is three blanks
      {10107, "WSSAAsynSelect()", "Errror 10107     occurred in WSSAAsynSelect()"},
  };
  HWND window = createMainWindow();
  for (const Case& c : cases) {
    posix::testing::clearMessageBoxes();
    WSASetLastError(c.code);
    disp_err(window, c.where);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].text, c.text);
    EXPECT_EQ(messageBoxes()[0].caption, c.where);
    EXPECT_EQ(messageBoxes()[0].owner, window);
    EXPECT_EQ(messageBoxes()[0].type & 0xF, static_cast<UINT>(MB_OK));
  }
}

// ---- the Winsock layer underneath --------------------------------------------------------------

TEST(WinsockErrors, SystemErrorsMapToWinsockCodes) {
  const std::pair<int, int> cases[] = {
      {ECONNREFUSED, 10061}, {EWOULDBLOCK, 10035}, {EAGAIN, 10035},       {EINPROGRESS, 10036},
      {ECONNRESET, 10054},   {EBADF, 10038},       {ENOTSOCK, 10038},     {ENOTCONN, 10057},
      {ETIMEDOUT, 10060},    {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051}, {EADDRINUSE, 10048},
      {EINTR, 10004},        {EINVAL, 10022},      {EMFILE, 10024},       {EACCES, 10013},
      {EFAULT, 10014},       {EMSGSIZE, 10040},    {ENOBUFS, 10055},      {EISCONN, 10056},
      {ECONNABORTED, 10053}, {EALREADY, 10037},    {ESHUTDOWN, 10058},    {EADDRNOTAVAIL, 10049},
      {ENETDOWN, 10050},     {EHOSTDOWN, 10064},   {EAFNOSUPPORT, 10047}, {ENOENT, 10107},
  };
  for (const auto& c : cases) EXPECT_EQ(posix::bsd::wsaErrorFromErrno(c.first), c.second) << "errno " << c.first;
}

class WinsockCallTest : public ScratchTest {
 protected:
  void startSockets() {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
  static SOCKET sock(int fd) { return static_cast<SOCKET>(fd); }
  // Runs a call that must fail and returns the error it left.
  template <typename Call>
  static int failureOf(Call call) {
    WSASetLastError(0);
    EXPECT_EQ(call(), SOCKET_ERROR);
    return WSAGetLastError();
  }
};

TEST_F(WinsockCallTest, RefusesCallsBeforeStartUpAndDescriptorsThatAreNoSockets) {
  Loopback lb;
  char byte = 'x';
  u_long ready = 99;
  const SOCKET live = sock(lb.client);
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(failureOf([&] { return send(live, &byte, 1, 0); }), WSANOTINITIALISED);
  EXPECT_EQ(failureOf([&] { return recv(live, &byte, 1, 0); }), WSANOTINITIALISED);
  EXPECT_EQ(failureOf([&] { return ioctlsocket(live, FIONREAD, &ready); }), WSANOTINITIALISED);
  EXPECT_TRUE(lb.hostReceives(50).empty());

  startSockets();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[1]);
  EXPECT_EQ(failureOf([&] { return ioctlsocket(sock(fds[0]), FIONREAD, &ready); }), WSAENOTSOCK);  // a pipe
  close(fds[0]);
  EXPECT_EQ(failureOf([&] { return ioctlsocket(sock(fds[0]), FIONREAD, &ready); }), WSAENOTSOCK);  // closed
  EXPECT_EQ(failureOf([&] { return send(INVALID_SOCKET, &byte, 1, 0); }), WSAENOTSOCK);
  EXPECT_EQ(ready, 99u);
}

TEST_F(WinsockCallTest, ReadsReportReadyBytesWouldBlockAndReset) {
  startSockets();
  Loopback lb;
  lb.makeClientNonBlocking();
  const SOCKET s = sock(lb.client);
  char buffer[16];
  EXPECT_EQ(failureOf([&] { return recv(s, buffer, sizeof buffer, 0); }), WSAEWOULDBLOCK);

  lb.hostSends("abc");
  ASSERT_TRUE(sockhost::waitForReadable(lb.client, 3));
  u_long ready = 0;
  EXPECT_EQ(ioctlsocket(s, FIONREAD, &ready), 0);
  EXPECT_EQ(ready, 3u);
  EXPECT_EQ(recv(s, buffer, 2, MSG_PEEK), 2);
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");

  sockhost::resetAndClose(lb.server);
  lb.server = -1;
  ASSERT_TRUE(sockhost::waitForPeerClose(lb.client));
  EXPECT_EQ(failureOf([&] { return recv(s, buffer, sizeof buffer, 0); }), WSAECONNRESET);
}

TEST_F(WinsockCallTest, SendsAfterTheEndGiveWinsockCodesNotSignals) {
  startSockets();
  // With the default action a SIGPIPE would end the test program.
  struct DefaultSigpipe {
    void (*previous)(int) = std::signal(SIGPIPE, SIG_DFL);
    ~DefaultSigpipe() { std::signal(SIGPIPE, previous); }
  } sigpipe;
  char buffer[4096] = {};
  Loopback reset;  // the host resets: this and every later send is a reset
  sockhost::resetAndClose(reset.server);
  reset.server = -1;
  ASSERT_TRUE(sockhost::waitForPeerClose(reset.client));
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(failureOf([&] { return send(sock(reset.client), buffer, sizeof buffer, 0); }), WSAECONNRESET);

  Loopback shut;  // we shut down sending ourselves
  sockhost::shutdownSending(shut.client);
  EXPECT_EQ(failureOf([&] { return send(sock(shut.client), buffer, sizeof buffer, 0); }), WSAESHUTDOWN);
}

TEST_F(WinsockCallTest, ConnectReportsAsWinsockDoes) {
  startSockets();
  uint16_t port = 0;
  const int listener = sockhost::listenOnLoopback(&port);
  ASSERT_GE(listener, 0);
  EXPECT_EQ(inet_addr("host.example"), static_cast<u_long>(INADDR_NONE));  // names are not addresses
  struct Case {
    const char* name;
    bool nonBlocking;
    const char* address;
    uint16_t port;
    int error;  // 0: connected
  };
  const Case cases[] = {
      {"blocking, listening", false, "127.0.0.1", port, 0},
      {"non-blocking, under way", true, "127.0.0.1", port, WSAEWOULDBLOCK},
      {"nobody listens", false, "127.0.0.1", sockhost::unusedLoopbackPort(), WSAECONNREFUSED},
      {"wildcard address", false, "0.0.0.0", port, WSAEADDRNOTAVAIL},
  };
  for (const Case& c : cases) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    if (c.nonBlocking) sockhost::makeNonBlocking(static_cast<int>(s));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(c.port);
    to.sin_addr.s_addr = static_cast<ULONG>(inet_addr(c.address));
    WSASetLastError(0);
    const int result = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    EXPECT_EQ(result, c.error ? SOCKET_ERROR : 0) << c.name;
    EXPECT_EQ(WSAGetLastError(), c.error) << c.name;
    closesocket(s);
  }
  close(listener);
}

}  // namespace
