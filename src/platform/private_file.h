// Files that may hold secrets (the trace log holds every byte typed, passwords
// included) are opened here, readable by their owner alone where the system
// keeps file owners and modes.
#pragma once

#include <cstdio>

enum PrivateFileResult {
  kPrivateFileOpened,
  kPrivateFileNotOpened,  // the file could not be opened or created
  kPrivateFileNotPrivate, // opened, but it could not be made owner-only: closed again
};

#ifdef _WIN32
// Windows: the file inherits the permissions of its directory, as before.
inline PrivateFileResult OpenPrivateFile(const char* path, FILE** file) {
  *file = std::fopen(path, "w");
  return *file ? kPrivateFileOpened : kPrivateFileNotOpened;
}
#else
#include "platform/win32.h"
// Opens `path` for writing, emptied; a new file is made mode 0600 and an
// existing one narrowed to 0600 before anything is written to it.
PLATFORM_API PrivateFileResult OpenPrivateFile(const char* path, FILE** file);
#endif
