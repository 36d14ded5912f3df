// The POSIX entry point: what the C runtime does on Windows before it calls
// WinMain, plus the choice of display.
#include <cstring>
#include <string>

#include "platform/posix/display.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
  // The whole command line, quoted where needed, as Windows hands it over.
  std::string whole;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!whole.empty()) whole += ' ';
    whole += arg.find_first_of(" \t") == std::string::npos ? arg : '"' + arg + '"';
  }
  posix::setCommandLine(whole);
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) continue;  // the only display so far
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += argv[i];
  }
  posix::installCloseSignals();
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
