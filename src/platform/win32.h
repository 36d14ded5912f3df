// The one include for the program's code: the real Windows headers on Windows,
// our POSIX implementation of the same subset everywhere else.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>  // pulls in winsock.h (Winsock 1.1)
#include <commdlg.h>
#define PLATFORM_API
#else
#include "platform/posix/win32_posix.h"
#endif
