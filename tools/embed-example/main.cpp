// An example of embedding the Quillon terminal in another program. It loads the
// library at run time and finds every function by name, opens a 3270 terminal
// window on a host, prints each record the host sends, and types one line (with
// Enter) once the first record has arrived.
//
//   quillon-embed-example HOST[:PORT] LINE [LIBRARY]
//
// LIBRARY defaults to the library next to this program. The program ends when
// the host closes the connection.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quillon.h"

#ifdef _WIN32
using Module = HMODULE;
static Module openModule(const char* path) { return LoadLibraryA(path); }
static void* symbolOf(Module m, const char* name) { return reinterpret_cast<void*>(GetProcAddress(m, name)); }
static const char* kDefaultLibrary = "quillon.dll";
// This program's own directory, with the separator at its end.
static std::string programDirectory() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return "";
  std::string dir(path, n);
  const size_t slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? "" : dir.substr(0, slash + 1);
}
#else
#include <dlfcn.h>
#include <unistd.h>
using Module = void*;
static Module openModule(const char* path) { return dlopen(path, RTLD_NOW); }
static void* symbolOf(Module m, const char* name) { return dlsym(m, name); }
static const char* kDefaultLibrary = "libquillon.so";
static std::string programDirectory() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return "";
  std::string dir(path, static_cast<size_t>(n));
  const size_t slash = dir.rfind('/');
  return slash == std::string::npos ? "" : dir.substr(0, slash + 1);
}
#endif

namespace {

// The functions this program calls, found by name. On Windows the window
// functions come from the system; elsewhere the library provides them too.
struct Api {
  decltype(&ncTcpWSARegWSAStartup) startup;
  decltype(&ncTcpWSARegWSACleanup) cleanup;
  decltype(&ncTcpRegisterClass) registerClass;
  decltype(&ncTcpCreateSocketObj) createWindow;
  decltype(&ncTcpConnectToHost) connectToHost;
  decltype(&ncTcpSetEventHandler) setEventHandler;
  decltype(&ncTcpGetWholeScreen) getWholeScreen;
  decltype(&ncTcpOutput) output;
  decltype(&GetWindowLongPtrA) getWindowLong;
  decltype(&GetMessageA) getMessage;
  decltype(&TranslateMessage) translateMessage;
  decltype(&DispatchMessageA) dispatchMessage;
};

Api api;
HWND window = nullptr;
int records = 0;

template <typename F>
bool find(Module m, const char* name, F* f) {
  *f = reinterpret_cast<F>(symbolOf(m, name));
  if (*f == nullptr) std::fprintf(stderr, "missing function %s\n", name);
  return *f != nullptr;
}

bool load(Module library, Module windows) {
  return find(library, "ncTcpWSARegWSAStartup", &api.startup) &&
         find(library, "ncTcpWSARegWSACleanup", &api.cleanup) &&
         find(library, "ncTcpRegisterClass", &api.registerClass) &&
         find(library, "ncTcpCreateSocketObj", &api.createWindow) &&
         find(library, "ncTcpConnectToHost", &api.connectToHost) &&
         find(library, "ncTcpSetEventHandler", &api.setEventHandler) &&
         find(library, "ncTcpGetWholeScreen", &api.getWholeScreen) && find(library, "ncTcpOutput", &api.output) &&
#ifdef _WIN32
         find(windows, "GetWindowLongA", &api.getWindowLong) &&
#else
         find(windows, "GetWindowLongPtrA", &api.getWindowLong) &&
#endif
         find(windows, "GetMessageA", &api.getMessage) && find(windows, "TranslateMessage", &api.translateMessage) &&
         find(windows, "DispatchMessageA", &api.dispatchMessage);
}

// Called by the terminal after each complete 3270 record, while it is held.
void onRecord() {
  static unsigned char screen[QUILLON_RECORD_BUFFER_SIZE];
  int length = 0;
  api.getWholeScreen(&window, screen, &length);
  std::string text;
  for (int i = 0; i < length; ++i) {
    const unsigned char c = screen[i];
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
  }
  std::printf("record %d (%d bytes): %s\n", ++records, length, text.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s HOST[:PORT] LINE [LIBRARY]\n", argv[0]);
    return 2;
  }
  const std::string host = argv[1];
  const std::string line = argv[2];
  // Without LIBRARY, the library beside this program, whatever the working directory.
  const std::string libraryPath = argc > 3 ? std::string(argv[3]) : programDirectory() + kDefaultLibrary;
  const Module library = openModule(libraryPath.c_str());
  if (!library) {
    std::fprintf(stderr, "cannot load %s\n", libraryPath.c_str());
    return 1;
  }
#ifdef _WIN32
  const Module windows = LoadLibraryA("user32.dll");
#else
  const Module windows = library;
#endif
  if (!load(library, windows)) return 1;

  if (!api.startup()) return 1;
  if (!api.registerClass(3, nullptr) ||
      api.createWindow(&window, nullptr, "Quillon embedded", QUILLON_WINDOW_STYLE, nullptr) != 0 || !window) {
    std::fprintf(stderr, "cannot create the terminal window\n");
    return 1;
  }
  api.setEventHandler(&window, onRecord);
  CommTcp* terminal = reinterpret_cast<CommTcp*>(api.getWindowLong(window, 0));
  terminal->terminalType = kTypeIbm3270;  // answer the host as an IBM 3270 display
  if (!api.connectToHost(window, host.c_str(), &terminal->socketHandle)) return 1;

  bool typed = false;
  MSG msg;
  while (api.getMessage(&msg, nullptr, 0, 0) > 0) {
    api.translateMessage(&msg);
    api.dispatchMessage(&msg);
    // Typed outside the record handler, once the host's first screen is up.
    if (records > 0 && !typed) {
      typed = true;
      api.output(window, line.c_str(), static_cast<int>(line.size()));
      std::printf("typed: %s\n", line.c_str());
      std::fflush(stdout);
    }
  }
  api.cleanup();
  return static_cast<int>(msg.wParam);
}
