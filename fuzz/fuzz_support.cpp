#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/shell.h"
#include "host_end.h"
#include "net/connection.h"
#include "embed/embedding.h"
#include "net/telnet.h"
#include "platform/posix/testing.h"
#include "ui/resource.h"
#include "vt100/nvt_screen.h"

namespace fuzz {
namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz session: %s\n", what);
  std::abort();
}

Session g_session;
bool g_made = false;
bool g_eventSelect = false;

// The terminal as the session left it: every member an input may change is
// put back from here, and the NVT buffers from the copies below.
struct Fresh {
  int32_t cellWidth, cellHeight, clientWidth, clientHeight, nvtColumns, nvtRows, cursorColumn, cursorRow;
  LOGFONTA screenLogFont, lineDrawLogFont;
  COLORREF backgroundColor, unprotectedHighLightColor, protectedHighLightColor, unprotectedNormalColor,
      protectedNormalColor, savedColors[5];
  uint8_t aid;
  char echoChar;
  int32_t nvtViewTop;
  uint32_t nvtCurrentAttribute;
  RECT scrollRegion;
  int32_t savedCursorColumn, savedCursorRow;
  uint32_t savedAttribute;
  int32_t newLineMode, replaceMode;
  RecordHandler recordHandler;
};
Fresh* g_fresh = nullptr;
std::vector<char> g_freshChars;
std::vector<uint32_t> g_freshAttributes;
int g_freshGdiObjects = 0;
int g_freshGridCells = 0;
int g_freshRingTop = 0;

void makeScratchDirectory() {
  // In memory where the system has it: the settings target writes a file per input.
  std::error_code ec;
  const std::filesystem::path base =
      std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
  std::string pattern = (base / "quillon-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) fail("scratch directory");
  std::filesystem::current_path(pattern);
  // Removed at exit; the settings target writes its quillon.ini here.
  static const std::string dir = pattern;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
}

void makeSession() {
  Session& s = g_session;
  if (ncTcpRegisterClass(3, GetModuleHandleA(nullptr)) != 1) fail("ncTcpRegisterClass");
  if (ncTcpCreateSocketObj(&s.window, nullptr, "Quillon", QUILLON_WINDOW_STYLE, nullptr) != 0 || !s.window)
    fail("ncTcpCreateSocketObj");
  s.t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(s.window, 0));
  if (!s.t) fail("no terminal object");

  openHostEnd(&s.client);
  s.t->socketHandle = static_cast<SOCKET>(s.client);
  s.t->connected = 1;
  if (g_eventSelect && WSAAsyncSelect(s.t->socketHandle, s.window, WM_WSAASYNC, FD_READ | FD_CLOSE) != 0)
    fail("WSAAsyncSelect");

  // Laid out as after the first resize: the window's own size message and layout.
  RECT client{};
  GetClientRect(s.window, &client);
  SendMessageA(s.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  KillTimer(s.window, kLayoutTimer);
  SendMessageA(s.window, WM_LAYOUT, 0, 0);
  posix::testing::pumpUntilIdle();
  if (s.t->nvtRows != kNvtMaxRows || !s.t->nvtChars) fail("layout");

  // Keep the state to go back to.
  const CommTcp& t = *s.t;
  delete g_fresh;
  g_fresh = new Fresh{t.cellWidth, t.cellHeight, t.clientWidth, t.clientHeight, t.nvtColumns, t.nvtRows,
                      t.cursorColumn, t.cursorRow, t.screenLogFont, t.lineDrawLogFont, t.backgroundColor,
                      t.unprotectedHighLightColor, t.protectedHighLightColor, t.unprotectedNormalColor,
                      t.protectedNormalColor, {}, t.aid, t.echoChar, t.nvtViewTop, t.nvtCurrentAttribute,
                      t.scrollRegion, t.savedCursorColumn, t.savedCursorRow, t.savedAttribute, t.newLineMode,
                      t.replaceMode, t.recordHandler};
  std::memcpy(g_fresh->savedColors, t.savedColors, sizeof t.savedColors);
  g_freshChars.assign(s.t->nvtChars, s.t->nvtChars + kNvtBufferCells);
  g_freshAttributes.assign(s.t->nvtAttributes, s.t->nvtAttributes + kNvtBufferCells);
  g_freshRingTop = s.t->nvtRingTop;
  // Counted once, for the first window: every window made anew must leave the
  // same number, or objects pile up with each input that closes one.
  static const int firstGdiObjects = posix::testing::liveGdiObjects();
  g_freshGdiObjects = firstGdiObjects;
  const posix::CellGrid* grid = posix::testing::grid(s.window);
  g_freshGridCells = grid ? grid->columns() * grid->rows() : 0;
}

}  // namespace

Session& session(bool eventSelect) {
  if (g_made) return g_session;
  g_made = true;
  g_eventSelect = eventSelect;
  makeScratchDirectory();
  posix::testing::resetPlatform();
  // Timers fire only when the clock is moved, which the targets never do.
  posix::testing::setManualClock(true);
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) fail("WSAStartup");
  g_session.trace = std::fopen("/dev/null", "w");
  makeSession();
  return g_session;
}

bool sessionAlive() {
  const Session& s = g_session;
  return IsWindow(s.window) && GetWindowLongPtrA(s.window, 0) == reinterpret_cast<LONG_PTR>(s.t) &&
         s.t->socketHandle == static_cast<SOCKET>(s.client);
}

void recreateSession() {
  Session& s = g_session;
  if (IsWindow(s.window)) {
    // Still open: its socket (ours, or one a Connect made) is closed here, as
    // closing the window would have done.
    if (CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(s.window, 0))) {
      if (t->socketHandle != INVALID_SOCKET) closesocket(t->socketHandle);
      t->socketHandle = INVALID_SOCKET;
      if (t->traceFile && t->traceFile != s.trace) std::fclose(t->traceFile);
      t->traceFile = nullptr;
    }
    DestroyWindow(s.window);
  }
  // Otherwise the window closed itself and closed its socket with it.
  s.client = -1;
  closeHostEnd();
  pump();
  posix::testing::clearMessageBoxes();
  if (!UnregisterClassA(QUILLON_CLASS_NAME, GetModuleHandleA(nullptr))) {
    // A window of the class outlived the one the session closed: say which.
    const HWND left = FindWindowA(QUILLON_CLASS_NAME, nullptr);
    char title[64] = "";
    GetWindowTextA(left, title, sizeof title);
    std::fprintf(stderr, "fuzz session: class still in use (error %lu): window %p (session window %p), title \"%s\", object %p (session object %p)\n",
                 static_cast<unsigned long>(GetLastError()), static_cast<void*>(left), static_cast<void*>(s.window), title,
                 reinterpret_cast<void*>(left ? GetWindowLongPtrA(left, 0) : 0), static_cast<void*>(s.t));
  }
  makeSession();
}

void pump() { posix::testing::pumpUntilIdle(); }

void finishInput() {
  pump();
  if (!sessionAlive()) recreateSession();
  posix::testing::clearMessageBoxes();
  posix::testing::clearClipboard();
}

void resetTerminal(Mode mode) {
  Session& s = g_session;
  // A window once laid out with tiny fonts keeps a grid of up to 1024 x 512
  // cells, which every later erase fills: a new window is cheaper.
  const posix::CellGrid* grid = posix::testing::grid(s.window);
  if (grid && grid->columns() * grid->rows() > 4 * g_freshGridCells + 4096) recreateSession();

  CommTcp& t = *s.t;
  const Fresh& f = *g_fresh;

  if (t.traceFile && t.traceFile != s.trace) std::fclose(t.traceFile);
  t.traceFile = nullptr;

  // A resize or font change since: lay the window out again at its first size.
  if (t.cellWidth != f.cellWidth || t.cellHeight != f.cellHeight || t.clientWidth != f.clientWidth ||
      t.clientHeight != f.clientHeight || t.screenLogFont.lfHeight != f.screenLogFont.lfHeight ||
      t.screenLogFont.lfWidth != f.screenLogFont.lfWidth || t.lineDrawLogFont.lfHeight != f.lineDrawLogFont.lfHeight ||
      t.backgroundColor != f.backgroundColor) {
    t.clientWidth = f.clientWidth;
    t.clientHeight = f.clientHeight;
    t.screenLogFont = f.screenLogFont;
    t.lineDrawLogFont = f.lineDrawLogFont;
    t.backgroundColor = f.backgroundColor;
    t.scrollRegion = RECT{0, 0, 0, 0};
    t.terminalMode = 0;
    SendMessageA(s.window, WM_LAYOUT, 0, 0);
  }
  KillTimer(s.window, kLayoutTimer);
  KillTimer(s.window, kKeepAliveTimer);
  if (HMENU menu = GetMenu(s.window)) CheckMenuItem(menu, IDM_TIMER, MF_BYCOMMAND | MF_UNCHECKED);

  t.resizePending = 0;
  t.InitScreen();
  std::memset(t.screenChars, 0, sizeof t.screenChars);
  std::memset(t.attributePositions, 0, sizeof t.attributePositions);
  std::memset(t.positionAttribute, 0, sizeof t.positionAttribute);
  t.currentField = 0;
  t.cursorAddress = t.bufferAddress = 0;
  t.dontRetryCount = t.wontRetryCount = 0;
  t.outboundLength = 0;
  t.recordFill = 0;
  t.recordHandler = f.recordHandler;
  t.lastVirtualKey = 0;
  t.traceRequested = 0;
  t.cellWidth = f.cellWidth;
  t.cellHeight = f.cellHeight;
  t.clientWidth = f.clientWidth;
  t.clientHeight = f.clientHeight;
  t.nvtColumns = f.nvtColumns;
  t.nvtRows = f.nvtRows;
  t.cursorColumn = f.cursorColumn;
  t.cursorRow = f.cursorRow;
  t.backgroundColor = f.backgroundColor;
  t.unprotectedHighLightColor = f.unprotectedHighLightColor;
  t.protectedHighLightColor = f.protectedHighLightColor;
  t.unprotectedNormalColor = f.unprotectedNormalColor;
  t.protectedNormalColor = f.protectedNormalColor;
  std::memcpy(t.savedColors, f.savedColors, sizeof t.savedColors);
  t.aid = f.aid;
  t.connected = 1;
  t.echoChar = f.echoChar;
  std::memset(t.typedChars, 0, sizeof t.typedChars);
  t.typedCount = 0;
  t.nvtViewTop = f.nvtViewTop;
  std::memcpy(t.nvtChars, g_freshChars.data(), g_freshChars.size());
  std::memcpy(t.nvtAttributes, g_freshAttributes.data(), g_freshAttributes.size() * sizeof(uint32_t));
  t.nvtRingTop = g_freshRingTop;
  t.nvtCurrentAttribute = f.nvtCurrentAttribute;
  t.scrollRegion = f.scrollRegion;
  t.savedCursorColumn = f.savedCursorColumn;
  t.savedCursorRow = f.savedCursorRow;
  t.savedAttribute = f.savedAttribute;
  t.selStartColumn = t.selStartRow = t.selEndColumn = t.selEndRow = 0;
  t.clipboardData = nullptr;
  t.selecting = 0;
  t.newLineMode = f.newLineMode;
  t.replaceMode = f.replaceMode;
  // A new connection's VT100 modes (auto-wrap on); the input may change them.
  t.cursorKeysApplication = t.keypadApplication = 0;
  t.autoWrap = 1;
  t.wrapPending = 0;
  t.nawsAgreed = t.nawsReportedRows = 0;
  t.repaintPending = 0;
  t.pendingTailLength = 0;
  t.heldCommandLength = 0;
  t.passiveNegotiation = 0;
  hzState = 0;

  if (mode == Mode::kIbm3270) {
    t.terminalType = kTypeIbm3270;
    t.terminalMode = kMode3270;
  } else {
    t.terminalType = kTypeVt100;
    t.terminalMode = 0;
  }
  SetScrollRange(s.window, SB_VERT, 0, 4 * kNvtMaxRows, FALSE);
  SetScrollPos(s.window, SB_VERT, f.nvtViewTop, FALSE);
  SetCaretPos(0, 0);

  posix::testing::clearMessageBoxes();
  posix::testing::clearClipboard();
  // Nothing the program makes may pile up from input to input.
  if (posix::testing::liveGdiObjects() > g_freshGdiObjects + 16) fail("GDI objects pile up across inputs");
}

void hostSends(const uint8_t* data, size_t size) { hostEndSends(g_session.client, data, size); }

SplitInput split(const uint8_t* data, size_t size) {
  SplitInput out;
  Reader r(data, size);
  const uint8_t head = r.byte();
  out.flags = static_cast<uint8_t>(head >> 3);
  const int cuts = head & 7;
  std::vector<size_t> lengths;
  for (int i = 0; i < cuts && !r.empty(); ++i) lengths.push_back(r.byte());
  for (size_t length : lengths) {
    if (r.empty()) break;
    out.pieces.push_back(r.bytes(length));
  }
  if (!r.empty()) out.pieces.push_back(r.rest());
  return out;
}

}  // namespace fuzz

namespace fuzz {
namespace {
// What an embedding program does when a record has been shown: it takes the
// whole screen into a buffer of the documented size.
void recordHandler() {
  HWND window = g_session.window;
  std::unique_ptr<unsigned char[]> out(new unsigned char[QUILLON_RECORD_BUFFER_SIZE]);
  int length = 0;
  ncTcpGetWholeScreen(&window, out.get(), &length);
  if (length < 0 || length > QUILLON_RECORD_BUFFER_SIZE) __builtin_trap();
}
}  // namespace

void installRecordHandler() { ncTcpSetEventHandler(&g_session.window, &recordHandler); }

void runTelnet(const uint8_t* data, size_t size, Mode mode) {
  Session& s = session();
  resetTerminal(mode);
  const SplitInput in = split(data, size);
  FILE* trace = (in.flags & 1) ? s.trace : nullptr;
  s.t->traceFile = trace;
  // Only an IBM-3278-2 terminal type reaches 3270 mode; a VT100 session may be either.
  s.t->terminalType = (mode == Mode::kIbm3270 || (in.flags & 4)) ? 3 : 2;
  if (in.flags & 8) installRecordHandler();
  std::vector<std::vector<uint8_t>> pieces = in.pieces;
  if (in.flags & 16) {
    // One call with more than the receive buffer holds: the pieces twice over.
    std::vector<uint8_t> all;
    for (int twice = 0; twice < 2; ++twice)
      for (const std::vector<uint8_t>& piece : in.pieces) all.insert(all.end(), piece.begin(), piece.end());
    pieces.assign(1, all);
  }
  for (const std::vector<uint8_t>& piece : pieces) {
    if (!sessionAlive()) break;
    CommTcp& t = *s.t;
    const int length = static_cast<int>(piece.size());
    if (in.flags & 18) {
      // Exactly sized, so that a read past the end is caught.
      std::unique_ptr<uint8_t[]> copy(new uint8_t[piece.size() + 1]);
      if (!piece.empty()) std::memcpy(copy.get(), piece.data(), piece.size());
      ParseData(s.window, t.socketHandle, trace, copy.get(), length, &t.terminalMode);
    } else {
      size_t done = 0;
      do {
        const size_t n = std::min(piece.size() - done, static_cast<size_t>(std::max(t.receiveRoom(), 0)));
        if (n > 0) std::memcpy(t.receiveBuffer, piece.data() + done, n);
        ParseData(s.window, t.socketHandle, trace, t.receiveBuffer, static_cast<int>(n), &t.terminalMode);
        done += n;
      } while (done < piece.size() && sessionAlive());
    }
  }
  pump();
  if (sessionAlive()) s.t->traceFile = nullptr;
  finishInput();
}

}  // namespace fuzz
