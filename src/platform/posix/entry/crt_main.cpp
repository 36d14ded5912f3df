// The POSIX entry point: what the C runtime does on Windows before it calls
// WinMain, plus the choice of display.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix/display.h"
#include "platform/posix/tty_display.h"
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
  bool headless = false;
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) {
      headless = true;
      continue;
    }
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += argv[i];
  }
  // Before the terminal display starts, so that the terminal library leaves
  // these signals to the message loop.
  posix::installCloseSignals();
  // On a terminal the terminal display, unless --headless asks for none.
  if (!headless) {
    std::string why;
    if (!posix::startTtyDisplay(&why) && why != "standard input is not a terminal")
      std::fprintf(stderr, "quillon: no terminal display (%s); running without one\n", why.c_str());
  }
  const int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
  posix::setDisplay(nullptr);  // puts the terminal back as it was
  return result;
}
