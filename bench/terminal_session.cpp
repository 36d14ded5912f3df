#include "terminal_session.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/shell.h"
#include "net/connection.h"
#include "net/telnet.h"
#include "platform/posix/testing.h"
#include "ui/resource.h"
#include "vt100/nvt_screen.h"

namespace bench {

TerminalSession::TerminalSession() {
  posix::testing::resetPlatform();
  hzState = 0;  // the tilde-brace state is the program's, not the window's
  // Timers run only when the clock is moved: the keep-alive timer never types.
  posix::testing::setManualClock(true);
  if (ncTcpRegisterClass(3, GetModuleHandleA(nullptr)) != 1 ||
      ncTcpCreateSocketObj(&window, nullptr, "Quillon", QUILLON_WINDOW_STYLE, nullptr) != 0 || !window) {
    error_ = "the main window could not be created";
    return;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0));
  if (!t) {
    error_ = "the window has no terminal object";
    return;
  }
  // Laid out as after the first resize: the size message, then the layout its
  // timer would post.
  RECT client{};
  GetClientRect(window, &client);
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  KillTimer(window, kLayoutTimer);
  SendMessageA(window, WM_LAYOUT, 0, 0);
  posix::testing::pumpUntilIdle();
  if (t->nvtRows != kNvtMaxRows || t->nvtColumns != kNvtColumns || !t->nvtChars || t->cellWidth <= 0)
    error_ = "the window was not laid out for 25 rows of 81 cells";
  // No connection: a reply would go through SendData to an invalid socket and
  // show a message box, which messageBoxes() reports.
  t->socketHandle = INVALID_SOCKET;
  posix::testing::clearMessageBoxes();
}

TerminalSession::~TerminalSession() {
  posix::testing::setIdleHook(nullptr);
  posix::testing::setDialogHandler(nullptr);
  if (window && IsWindow(window)) DestroyWindow(window);
  posix::testing::pumpUntilIdle();
  if (winsock_) ncTcpWSARegWSACleanup();
  posix::testing::resetPlatform();
}

void TerminalSession::feed(const unsigned char* bytes, size_t size) {
  size_t done = 0;
  while (done < size && t) {
    // What RecvData takes when more than a buffer's worth is ready.
    const size_t room = static_cast<size_t>(std::max(t->receiveRoom(), 1));
    const size_t piece = std::min({size - done, room, static_cast<size_t>(kReadSize)});
    std::memcpy(t->receiveBuffer, bytes + done, piece);
    ParseData(window, t->socketHandle, t->traceFile, t->receiveBuffer, static_cast<int>(piece), &t->terminalMode);
    done += piece;
  }
}

bool TerminalSession::connect(const std::string& hostText, const std::function<bool()>& whileWaiting,
                              int timeoutMs) {
  if (!t) return false;
  if (!winsock_) {
    if (ncTcpWSARegWSAStartup() != 1) {
      error_ = "Winsock did not start";
      return false;
    }
    winsock_ = true;
  }
  posix::testing::setDialogHandler([hostText](HWND dialog, const std::string&) {
    posix::testing::typeInto(dialog, IDC_HOSTNAME, hostText);
    posix::testing::pressButton(dialog, IDC_VT100);
    posix::testing::pressButton(dialog, IDOK);
  });
  const size_t boxes = messageBoxes();
  SendMessageA(window, WM_COMMAND, IDM_CONNECT, 0);
  posix::testing::setDialogHandler(nullptr);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (IsWindow(window) && t->connected != 1 && t->socketHandle != INVALID_SOCKET && messageBoxes() == boxes &&
         whileWaiting() && std::chrono::steady_clock::now() < end)
    posix::testing::pumpFor(1);
  if (IsWindow(window) && t->connected == 1 && t->terminalType == kTypeVt100) return true;
  error_ = messageBoxes() != boxes ? "the connection failed: " + posix::testing::messageBoxes().back().text
                                   : "the terminal did not connect to " + hostText;
  return false;
}

bool TerminalSession::runUntil(const std::function<bool()>& done) {
  bool reached = false;
  posix::testing::setIdleHook([&] {
    if (done()) {
      reached = true;
      PostQuitMessage(0);
    } else if (!IsWindow(window) || t->socketHandle == INVALID_SOCKET) {
      PostQuitMessage(1);  // nothing more will come
    }
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_WSAASYNC && LOWORD(msg.lParam) == FD_READ) ++readEvents;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  posix::testing::setIdleHook(nullptr);
  return reached;
}

size_t TerminalSession::messageBoxes() const { return posix::testing::messageBoxes().size(); }

bool loadInput(const std::string& directory, const std::string& name, Input* out) {
  const std::string path = directory + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "quillon_bench: %s is missing (build the target quillon_bench_inputs)\n", path.c_str());
    return false;
  }
  out->name = name;
  out->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool enterScratchDirectory() {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "quillon-bench-XXXXXX").string();
  if (ec || !mkdtemp(pattern.data())) return false;
  std::filesystem::current_path(pattern, ec);
  if (ec) return false;
  static std::string scratch;
  scratch = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(ignored), ignored);
    std::filesystem::remove_all(scratch, ignored);
  });
  return true;
}

}  // namespace bench
