// Process-level calls: last error, module handle, tick count, exit, font files,
// global memory.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

thread_local DWORD g_lastError = 0;
std::vector<std::string> g_fontResources;

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

void resetFontResources() { g_fontResources.clear(); }

namespace {
std::string& commandLine() {
  static std::string line = "quillon";
  return line;
}
}  // namespace

void setCommandLine(const std::string& line) { commandLine() = line; }

namespace testing {
std::vector<std::string> fontResources() { return g_fontResources; }
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

LPSTR WINAPI GetCommandLineA(void) { return commandLine().data(); }

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(posix::nowMs()); }

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
