#include "session_fixture.h"

#include <chrono>

#include "net/connection.h"
#include "ui/resource.h"
#include "vt100/nvt_screen.h"

namespace {

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void SessionFixture::SetUp() {
  TerminalWindowTest::SetUp();
  hwnd = createMainWindow();
  ASSERT_NE(hwnd, nullptr);
  ASSERT_EQ(ncTcpWSARegWSAStartup(), 1);
  hzState = 0;
}

void SessionFixture::TearDown() {
  posix::testing::setDialogHandler(nullptr);
  if (IsWindow(hwnd)) SendMessageA(hwnd, WM_CLOSE, 0, 0);  // closes the socket and the trace log
  posix::testing::pumpUntilIdle();
  ncTcpWSARegWSACleanup();
  hzState = 0;
  TerminalWindowTest::TearDown();
}

void SessionFixture::answerDialog(const DialogAnswer& answer, std::function<void(HWND)> inspect) {
  dialogsShown = 0;
  const std::string model = modelChoice;
  posix::testing::setDialogHandler([this, answer, inspect, model](HWND dialog, const std::string& caption) {
    ++dialogsShown;
    dialogCaption = caption;
    if (inspect) inspect(dialog);
    if (answer.cancel) {
      posix::testing::pressButton(dialog, IDCANCEL);
      return;
    }
    posix::testing::typeInto(dialog, IDC_HOSTNAME, answer.host);
    if (answer.vt100) posix::testing::pressButton(dialog, IDC_VT100);
    if (answer.trace) posix::testing::pressButton(dialog, IDC_TRACE);
    if (!model.empty())
      SendDlgItemMessageA(dialog, IDC_MODEL, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(model.c_str()));
    posix::testing::pressButton(dialog, IDOK);
  });
}

bool SessionFixture::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const int64_t end = nowMs() + timeoutMs;
  for (;;) {
    posix::testing::pumpUntilIdle();
    if (done()) return true;
    if (nowMs() >= end) return false;
    posix::testing::pumpFor(1);
  }
}

SOCKET SessionFixture::terminalSocket() const {
  const CommTcp* t = terminal();
  return t ? t->socketHandle : INVALID_SOCKET;
}

void SessionFixture::letTerminalRead() {
  ASSERT_TRUE(scripted::waitUnread(static_cast<int>(terminalSocket())));
  ASSERT_TRUE(pumpUntil([&] {
    const SOCKET s = terminalSocket();
    return s == INVALID_SOCKET || scripted::unreadBytes(static_cast<int>(s)) == 0;
  }));
}

void SessionFixture::hostWrites(scripted::Host& host, const Bytes& bytes) {
  if (piece == 0) {
    host.send(bytes);
    letTerminalRead();
  } else {
    host.sendInPieces(bytes, piece, [this] { letTerminalRead(); });
  }
}

void SessionFixture::connectTo(scripted::Host& host, DialogAnswer answer, const std::string& prefix,
                               const std::string& opening) {
  ASSERT_TRUE(host.listening());
  answer.host = prefix + host.address();
  answerDialog(answer);
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_EQ(dialogsShown, 1);
  ASSERT_TRUE(pumpUntil([&] { return terminal() && terminal()->connected == 1; }));
  ASSERT_TRUE(host.accept());
  if (opening.empty()) {
    // The connect event has been handled: whatever it sent is already here.
    EXPECT_EQ(hex(host.takeReady()), "");
  } else {
    EXPECT_EQ(hex(host.receive((opening.size() + 1) / 3)), opening);
  }
}

std::string SessionFixture::caption() const {
  char buffer[128] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string SessionFixture::screenRows(int rows, int columns) const {
  std::string out;
  for (int r = 0; r < rows; ++r) {
    std::string row = posix::testing::rowText(hwnd, r, columns);
    row.erase(row.find_last_not_of(' ') + 1);
    out += row + "|\n";
  }
  return out;
}

bool SessionFixture::windowEnded() { return pumpUntil([&] { return !IsWindow(hwnd); }); }
