// What tests need from the platform beyond the Win32 subset, for both builds:
// a scratch directory, pumping the message queue until it is idle, environment
// variables, and a log of the message boxes shown. On POSIX these go to our
// layer's test hooks; on Windows they are made from the real API (a CBT hook
// answers every message box and dialog, so no test waits for a user).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

#ifndef _WIN32
#include "platform/posix/testing.h"
#endif

namespace portable {

#ifdef _WIN32
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;  // the button set as far as it can be seen (MB_OK or MB_OKCANCEL...)
};
#else
using MessageBoxRecord = posix::MessageBoxRecord;
#endif

// A new empty directory under the system's temporary directory; "" on failure.
std::string makeScratchDirectory();
// The current directory; "" on failure.
std::string currentDirectory();
bool changeDirectory(const std::string& path);
// Removes a directory tree, also one whose permissions were taken away.
void removeTree(const std::string& path);

// True when the Windows build runs under Wine rather than Windows: for the few
// cases where Wine is known to behave otherwise than Windows.
bool underWine();

// The bytes a file written in text mode ("w") holds for this text: each "\n"
// becomes "\r\n" on Windows.
std::string textFileBytes(const std::string& text);

// Sets (or with nullptr removes) an environment variable of this process.
void setEnvironment(const char* name, const char* value);

// Puts the platform back as a fresh process has it: every window of this
// thread destroyed, the terminal's class unregistered, the queue empty, the
// message-box log cleared. On POSIX the layer's own reset.
void resetPlatform();

// Dispatches messages until none is ready. On Windows, socket notifications
// arrive from another thread of the system, so it returns only after the
// queue has stayed empty for a short settle time.
void pumpUntilIdle();
// Dispatches messages, waiting for more, for the given time.
void pumpFor(int milliseconds);
// The exit code of a WM_QUIT the pumps saw, or -1.
int quitCode();

// Presses or releases Shift for the keyboard state that GetKeyState reads. On
// POSIX a key message through the window's queue, as the display delivers keys;
// Windows changes the key state only for real input, so there the state is set.
void setShift(HWND window, bool down);

// GDI objects the process holds now (stock objects excluded), to find leaks.
int liveGdiObjects();

// Message boxes shown since the last reset, oldest first; each was answered
// with IDOK unless a handler chose otherwise.
const std::vector<MessageBoxRecord>& messageBoxes();
void clearMessageBoxes();
void setMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler);

}  // namespace portable
