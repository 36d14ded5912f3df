// The thread's message queue: posted messages, the quit flag, WM_PAINT for
// invalid windows, timers, and the wait on descriptors (sockets, display input,
// signals) when nothing is ready.
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  int64_t due;
};

struct Watch {
  int fd;
  short events;
  WatchCallback callback;
};

std::deque<MSG> g_posted;
bool g_quit = false;
int g_quitCode = 0;
std::vector<Timer> g_timers;
std::map<int, Watch> g_watches;
int g_nextWatch = 1;
UINT_PTR g_nextThreadTimer = 0x7FF0;
std::function<void()> g_idleHook;
BYTE g_keyState[256];
int g_lastQuitCode = -1;

// Under a test's manual clock time stands still until the test advances it.
bool g_manualClock = false;
int64_t g_manualNow = 0;

int64_t realMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
  if (filter && m.hwnd != filter) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

MSG makeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  return m;
}

// One pass over the sources in Win32's order; false when nothing is ready.
bool takeReady(MSG* out, HWND filter, UINT lo, UINT hi, bool remove) {
  for (auto it = g_posted.begin(); it != g_posted.end(); ++it) {
    if (!matches(*it, filter, lo, hi)) continue;
    *out = *it;
    if (remove) {
      g_posted.erase(it);
      noteKeyMessage(*out);
    }
    return true;
  }
  if (g_quit) {
    *out = makeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(g_quitCode), 0);
    if (remove) g_quit = false;
    return true;
  }
  for (HWND h : allWindows()) {
    Window* w = findWindow(h);
    if (!w || !w->invalid || !IsWindowVisible(h)) continue;
    MSG m = makeMsg(h, WM_PAINT, 0, 0);
    if (!matches(m, filter, lo, hi)) continue;
    *out = m;  // stays until the window is validated
    return true;
  }
  const int64_t now = nowMs();
  Timer* due = nullptr;
  for (Timer& t : g_timers)
    if (t.due <= now && (!due || t.due < due->due) &&
        matches(makeMsg(t.hwnd, WM_TIMER, 0, 0), filter, lo, hi))
      due = &t;
  if (due) {
    *out = makeMsg(due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
    if (remove) due->due = now + due->elapse;
    return true;
  }
  return false;
}

// For measuring start-up (bench/run.sh): with QUILLON_FIRST_WAIT_FILE set, the
// first time the thread has nothing to do and waits, the CLOCK_MONOTONIC time
// in nanoseconds is written to that file. Without the variable nothing happens.
void noteFirstWait() {
  static bool noted = false;
  if (noted) return;
  noted = true;
  const char* path = std::getenv("QUILLON_FIRST_WAIT_FILE");
  if (!path || !*path) return;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (FILE* f = std::fopen(path, "w")) {
    std::fprintf(f, "%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fclose(f);
  }
}

bool fetch(MSG* out, HWND filter, UINT lo, UINT hi, bool remove, bool wait) {
  for (;;) {
    if (takeReady(out, filter, lo, hi, remove)) return true;
    if (waitForEvents(0)) continue;
    if (!wait) return false;
    display().refresh();
    if (g_idleHook) {
      const size_t before = g_posted.size();
      const bool quitBefore = g_quit;
      g_idleHook();
      if (g_posted.size() != before || g_quit != quitBefore) continue;
    }
    if (takeReady(out, filter, lo, hi, remove)) return true;
    noteFirstWait();
    waitForEvents(nextTimerDelay());
  }
}

char translateKey(UINT vk, bool shift, bool ctrl, bool caps) {
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<char>(vk - 'A' + 1);
    const bool upper = shift != caps;
    return static_cast<char>(upper ? vk : vk - 'A' + 'a');
  }
  if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    return shift ? shifted[vk - '0'] : static_cast<char>(vk);
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char>('0' + vk - VK_NUMPAD0);
  struct Oem {
    UINT vk;
    char plain, shifted;
  };
  static const Oem oem[] = {{VK_OEM_1, ';', ':'},      {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'},
                            {VK_OEM_MINUS, '-', '_'},  {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
                            {VK_OEM_3, '`', '~'},      {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},
                            {VK_OEM_6, ']', '}'},      {VK_OEM_7, '\'', '"'},     {VK_SPACE, ' ', ' '},
                            {VK_MULTIPLY, '*', '*'},   {VK_ADD, '+', '+'},        {VK_SUBTRACT, '-', '-'},
                            {VK_DECIMAL, '.', '.'},    {VK_DIVIDE, '/', '/'}};
  for (const Oem& o : oem)
    if (o.vk == vk) {
      if (ctrl) {
        if (vk == VK_OEM_4) return 0x1B;
        if (vk == VK_OEM_5) return 0x1C;
        if (vk == VK_OEM_6) return 0x1D;
        if (vk == VK_SPACE) return ' ';
        return 0;
      }
      return shift ? o.shifted : o.plain;
    }
  switch (vk) {
    case VK_BACK: return ctrl ? 0x7F : 0x08;
    case VK_TAB: return 0x09;
    case VK_RETURN: return ctrl ? 0x0A : 0x0D;
    case VK_ESCAPE: return 0x1B;
    default: return 0;
  }
}

}  // namespace

int addWatch(int fd, short events, WatchCallback callback) {
  const int id = g_nextWatch++;
  g_watches[id] = Watch{fd, events, std::move(callback)};
  return id;
}

void removeWatch(int id) { g_watches.erase(id); }

int nextTimerDelay() {
  if (g_timers.empty() || g_manualClock) return -1;
  int64_t first = g_timers.front().due;
  for (const Timer& t : g_timers) first = std::min(first, t.due);
  return static_cast<int>(std::clamp<int64_t>(first - nowMs(), 0, 60000));
}

bool waitForEvents(int timeoutMs) {
  std::vector<pollfd> fds;
  std::vector<int> ids;
  for (const auto& [id, w] : g_watches) {
    fds.push_back(pollfd{w.fd, w.events, 0});
    ids.push_back(id);
  }
  const int n = poll(fds.data(), fds.size(), timeoutMs);
  if (n <= 0) return false;
  bool ran = false;
  for (size_t i = 0; i < fds.size(); ++i) {
    if (!fds[i].revents) continue;
    auto it = g_watches.find(ids[i]);  // a callback may have removed a later watch
    if (it == g_watches.end()) continue;
    WatchCallback callback = it->second.callback;
    callback(fds[i].revents);
    ran = true;
  }
  return ran;
}

void dropWindowTimers(HWND hwnd) {
  g_timers.erase(std::remove_if(g_timers.begin(), g_timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                 g_timers.end());
}

void dropWindowMessages(HWND hwnd) {
  g_posted.erase(std::remove_if(g_posted.begin(), g_posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                 g_posted.end());
}

void noteKeyMessage(const MSG& msg) {
  const UINT vk = static_cast<UINT>(msg.wParam) & 0xFF;
  auto press = [&](UINT key) {
    if (!(g_keyState[key] & 0x80)) g_keyState[key] ^= 0x01;
    g_keyState[key] |= 0x80;
  };
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      press(vk);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      g_keyState[vk] &= static_cast<BYTE>(~0x80);
      break;
    default:
      break;
  }
}

int64_t nowMs() { return g_manualClock ? g_manualNow : realMs(); }

void resetQueue() {
  g_manualClock = false;
  g_posted.clear();
  g_quit = false;
  g_quitCode = 0;
  g_timers.clear();
  g_idleHook = nullptr;
  std::memset(g_keyState, 0, sizeof g_keyState);
  g_lastQuitCode = -1;
}

namespace testing {

void setIdleHook(std::function<void()> hook) { g_idleHook = std::move(hook); }

int quitCode() { return g_lastQuitCode; }

void pumpUntilIdle() {
  // A window procedure that never validates would repaint forever; bound the pump.
  MSG msg;
  for (int i = 0; i < 100000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      g_lastQuitCode = static_cast<int>(msg.wParam);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void pumpFor(int milliseconds) {
  const int64_t end = realMs() + milliseconds;
  for (;;) {
    pumpUntilIdle();
    const int64_t left = end - realMs();
    if (left <= 0) return;
    const int timer = nextTimerDelay();
    waitForEvents(static_cast<int>(timer < 0 ? left : std::min<int64_t>(left, timer)));
  }
}

void setManualClock(bool on) {
  if (on && !g_manualClock) g_manualNow = realMs();
  g_manualClock = on;
}

void advanceClock(int milliseconds) {
  if (!g_manualClock) setManualClock(true);
  const int64_t end = g_manualNow + std::max(milliseconds, 0);
  pumpUntilIdle();
  // Step from one timer deadline to the next so each fires at its own time.
  for (;;) {
    int64_t next = end;
    for (const Timer& t : g_timers) next = std::min(next, std::max(t.due, g_manualNow));
    g_manualNow = next;
    pumpUntilIdle();
    if (next >= end) return;
  }
}

}  // namespace testing
}  // namespace posix

using namespace posix;

extern "C" {

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) return -1;
  if (hwnd && !findWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  fetch(msg, hwnd, filterMin, filterMax, true, true);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  if (!msg) return FALSE;
  return fetch(msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  const UINT vk = static_cast<UINT>(msg->wParam);
  const bool shift = (g_keyState[VK_SHIFT] & 0x80) != 0;
  const bool ctrl = (g_keyState[VK_CONTROL] & 0x80) != 0;
  const bool caps = (g_keyState[VK_CAPITAL] & 0x01) != 0;
  const char c = translateKey(vk, shift, ctrl, caps);
  if (c) {
    const UINT charMessage = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    g_posted.push_front(makeMsg(msg->hwnd, charMessage, static_cast<unsigned char>(c), msg->lParam));
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  Window* w = findWindow(msg->hwnd);
  if (!w || !w->proc) return 0;
  return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !findWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  g_posted.push_back(makeMsg(hwnd, msg, wParam, lParam));
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = findWindow(hwnd);
  if (!w || !w->proc) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->proc(hwnd, msg, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  g_quit = true;
  g_quitCode = exitCode;
}

SHORT WINAPI GetKeyState(int virtualKey) {
  const BYTE s = g_keyState[virtualKey & 0xFF];
  return static_cast<SHORT>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !findWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);  // Win32's minimum and maximum periods
  if (!hwnd) id = g_nextThreadTimer++;
  for (Timer& t : g_timers)
    if (t.hwnd == hwnd && t.id == id) {
      t.elapse = elapse;
      t.proc = proc;
      t.due = nowMs() + elapse;
      return hwnd ? (id ? id : 1) : id;
    }
  g_timers.push_back(Timer{hwnd, id, elapse, proc, nowMs() + elapse});
  return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  for (auto it = g_timers.begin(); it != g_timers.end(); ++it)
    if (it->hwnd == hwnd && it->id == id) {
      g_timers.erase(it);
      return TRUE;
    }
  return FALSE;
}

}  // extern "C"
