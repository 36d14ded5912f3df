// The clipboard: one process-wide store of global memory blocks by format. A
// window opens it, may empty it and hand blocks over, and closes it again; a block
// handed over belongs to the clipboard, which frees it when it is replaced or
// emptied.
#include <cstring>
#include <map>

#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

struct Clipboard {
  bool open = false;
  HWND opener = nullptr;  // the window that opened it (may be null)
  HWND owner = nullptr;   // the window that last emptied it
  std::map<UINT, HANDLE> data;
};

Clipboard& clipboard() {
  static Clipboard c;
  return c;
}

void freeAll(Clipboard& c) {
  for (const auto& entry : c.data) GlobalFree(entry.second);
  c.data.clear();
}

// Puts a block in place for a format, freeing the one it replaces.
void store(Clipboard& c, UINT format, HANDLE mem) {
  auto it = c.data.find(format);
  if (it != c.data.end() && it->second != mem) GlobalFree(it->second);
  c.data[format] = mem;
}

}  // namespace

void resetClipboard() {
  Clipboard& c = clipboard();
  freeAll(c);
  c = Clipboard{};
}

namespace testing {

std::string clipboardText() {
  auto it = clipboard().data.find(CF_TEXT);
  if (it == clipboard().data.end()) return "";
  const SIZE_T size = GlobalSize(it->second);
  const char* text = static_cast<const char*>(GlobalLock(it->second));
  if (text == nullptr) return "";
  const void* end = std::memchr(text, '\0', size);
  std::string result(text, end ? static_cast<size_t>(static_cast<const char*>(end) - text) : size);
  GlobalUnlock(it->second);
  return result;
}

void setClipboardBytes(const std::string& bytes) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (mem == nullptr) return;
  if (void* p = GlobalLock(mem)) {
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(mem);
  }
  store(clipboard(), CF_TEXT, mem);
}

void clearClipboard() { freeAll(clipboard()); }

}  // namespace testing
}  // namespace posix

using posix::clipboard;

extern "C" {

BOOL WINAPI OpenClipboard(HWND newOwner) {
  posix::Clipboard& c = clipboard();
  // Another window holding it open keeps it; the same window may open it again.
  if (c.open && c.opener != newOwner) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  c.open = true;
  c.opener = newOwner;
  return TRUE;
}

BOOL WINAPI CloseClipboard(void) {
  posix::Clipboard& c = clipboard();
  if (!c.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  c.open = false;
  c.opener = nullptr;
  return TRUE;
}

BOOL WINAPI EmptyClipboard(void) {
  posix::Clipboard& c = clipboard();
  if (!c.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  posix::freeAll(c);
  c.owner = c.opener;
  return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE mem) {
  posix::Clipboard& c = clipboard();
  if (!c.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  // Only real blocks are taken: rendering on request is not offered.
  if (mem == nullptr || GlobalSize(mem) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  posix::store(c, format, mem);
  return mem;
}

HANDLE WINAPI GetClipboardData(UINT format) {
  posix::Clipboard& c = clipboard();
  if (!c.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  auto it = c.data.find(format);
  return it == c.data.end() ? nullptr : it->second;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format) { return clipboard().data.count(format) ? TRUE : FALSE; }

}  // extern "C"
