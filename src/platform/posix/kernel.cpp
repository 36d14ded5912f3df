// Process-level calls: last error, module handle, tick count, exit, font files,
// global memory.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

thread_local DWORD g_lastError = 0;
std::vector<std::string> g_fontResources;
std::string g_moduleFileName;  // set by tests; empty: the running program's

// The one module of the POSIX build: the library holds every resource.
const HMODULE kModule = reinterpret_cast<HMODULE>(uintptr_t{0x400000});

struct GlobalBlock {
  UINT flags;
  std::vector<unsigned char> bytes;
  int locks = 0;
};
std::map<HGLOBAL, std::unique_ptr<GlobalBlock>> g_globals;
uintptr_t g_nextGlobal = 0x500000;

GlobalBlock* block(HGLOBAL h) {
  auto it = g_globals.find(h);
  return it == g_globals.end() ? nullptr : it->second.get();
}

}  // namespace

void resetFontResources() {
  g_fontResources.clear();
  g_moduleFileName.clear();
}

namespace {
std::string& commandLine() {
  static std::string line = "quillon";
  return line;
}
}  // namespace

void setCommandLine(const std::string& line) { commandLine() = line; }

namespace testing {
std::vector<std::string> fontResources() { return g_fontResources; }
void setModuleFileName(const std::string& path) { g_moduleFileName = path; }
}  // namespace testing
}  // namespace posix

using namespace posix;

extern "C" {

DWORD WINAPI GetLastError(void) { return g_lastError; }
void WINAPI SetLastError(DWORD code) { g_lastError = code; }

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  if (!name || strcasecmp(name, "quillon") == 0 || strcasecmp(name, "quillon.dll") == 0 ||
      strcasecmp(name, "quillon.exe") == 0)
    return kModule;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

// The program, the library and its resources form one module here.
BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module) {
  if (!module) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *module = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? (name ? kModule : nullptr) : GetModuleHandleA(name);
  if (!*module) {
    SetLastError(name ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

// The program's path (the library is part of the one module): its length, or, as
// on Windows, when the buffer is too small, the path cut to size - 1 characters,
// the result `size` and the error ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (module && module != kModule) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string path = g_moduleFileName;
  if (path.empty()) {
    char link[4096];
    const ssize_t n = readlink("/proc/self/exe", link, sizeof link);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof link) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    path.assign(link, static_cast<size_t>(n));
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

LPSTR WINAPI GetCommandLineA(void) { return commandLine().data(); }

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(posix::nowMs()); }

// Real time, whatever clock the timers follow.
void WINAPI Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void WINAPI ExitProcess(UINT code) { std::exit(static_cast<int>(code)); }

int WINAPI AddFontResourceA(LPCSTR file) {
  struct stat st;
  if (!file || stat(file, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  g_fontResources.push_back(file);
  return 1;
}

BOOL WINAPI RemoveFontResourceA(LPCSTR file) {
  if (!file) return FALSE;
  auto it = std::find(g_fontResources.begin(), g_fontResources.end(), std::string(file));
  if (it == g_fontResources.end()) return FALSE;
  g_fontResources.erase(it);
  return TRUE;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  auto b = std::make_unique<GlobalBlock>();
  b->flags = flags;
  try {
    b->bytes.assign(std::max<SIZE_T>(bytes, 1), 0);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Fixed memory is addressed by its pointer, movable memory by a handle.
  const HGLOBAL h = (flags & GMEM_MOVEABLE) ? reinterpret_cast<HGLOBAL>(g_nextGlobal += 8)
                                            : static_cast<HGLOBAL>(b->bytes.data());
  g_globals[h] = std::move(b);
  return h;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL mem) {
  if (!block(mem)) return mem;
  g_globals.erase(mem);
  return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL mem) {
  GlobalBlock* b = block(mem);
  if (!b) return nullptr;
  ++b->locks;
  return b->bytes.data();
}

BOOL WINAPI GlobalUnlock(HGLOBAL mem) {
  GlobalBlock* b = block(mem);
  if (!b || b->locks == 0) return FALSE;
  return --b->locks > 0;
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
  GlobalBlock* b = block(mem);
  return b ? b->bytes.size() : 0;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pointer) {
  for (const auto& [h, b] : g_globals)
    if (b->bytes.data() == pointer) return h;
  return nullptr;
}

}  // extern "C"
