// Opening the trace log "telntlog.txt".
#pragma once

#include <cstdio>

#include "platform/win32.h"
#include "quillon_api.h"

// Opens the trace log, emptied and readable by its owner alone (it holds every
// byte sent, passwords included). Null when it cannot be opened (tracing is
// then off), or when it cannot be made private: that is refused with a
// message box owned by `owner`.
QUILLON_API FILE* OpenTraceLog(HWND owner);
