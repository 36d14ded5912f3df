#include "net/trace_log.h"

#include "platform/private_file.h"

FILE* OpenTraceLog(HWND owner) {
  FILE* file = nullptr;
  if (OpenPrivateFile("telntlog.txt", &file) == kPrivateFileNotPrivate)
    MessageBoxA(owner,
                "The trace log telntlog.txt could not be made readable by you alone. It would hold "
                "every byte of the session, passwords included, so nothing is traced.",
                "Trace Log", MB_OK | MB_ICONWARNING);
  return file;
}
