// Icons and cursors: the program's icons from the resource script, and the
// system's stock icons and cursors.
#include <cstdint>

#include "platform/posix/internal.h"
#include "platform/posix/resource_script.h"

namespace posix {
namespace {

// Handles are opaque numbers derived from what they stand for, so loading the
// same resource twice gives the same handle and nothing needs freeing.
constexpr uintptr_t kStockIconBase = 0x00B10000;
constexpr uintptr_t kStockCursorBase = 0x00B20000;
constexpr uintptr_t kScriptIconBase = 0x00B30000;
constexpr uintptr_t kHandleStep = 0x10;

constexpr WORD kFirstStockIcon = 32512;  // IDI_APPLICATION
constexpr WORD kLastStockIcon = 32518;   // IDI_SHIELD

// IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_UPARROW, the sizing cursors,
// IDC_NO, IDC_HAND, IDC_APPSTARTING and IDC_HELP.
constexpr WORD kStockCursors[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                                  32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};

HICON handleFor(uintptr_t base, size_t index) { return reinterpret_cast<HICON>(base + index * kHandleStep); }

HICON notFound() {
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

bool sameType(const char* type, const char* expected) {
  for (size_t i = 0;; ++i) {
    char a = type[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (a != expected[i]) return false;
    if (a == '\0') return true;
  }
}

}  // namespace

bool resourceExists(const char* type, LPCSTR name) {
  if (type == nullptr) return false;
  const ResourceScript& script = resources();
  if (sameType(type, "MENU")) return script.findMenu(name) != nullptr;
  if (sameType(type, "DIALOG")) return script.findDialog(name) != nullptr;
  if (sameType(type, "ICON")) return script.findIcon(name) != nullptr;
  return false;
}

}  // namespace posix

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  WORD id = 0;
  if (instance == nullptr) {
    // A null instance asks for the system's icons.
    if (!posix::resourceOrdinal(name, &id) || id < posix::kFirstStockIcon || id > posix::kLastStockIcon)
      return posix::notFound();
    return posix::handleFor(posix::kStockIconBase, id - posix::kFirstStockIcon);
  }
  const posix::ResourceScript& script = posix::resources();
  const posix::IconResource* icon = script.findIcon(name);
  if (icon == nullptr) return posix::notFound();
  return posix::handleFor(posix::kScriptIconBase, static_cast<size_t>(icon - script.icons.data()));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  // The resource script has no cursors: only the system's are available.
  WORD id = 0;
  if (instance != nullptr || !posix::resourceOrdinal(name, &id)) return posix::notFound();
  for (size_t i = 0; i < sizeof(posix::kStockCursors) / sizeof(posix::kStockCursors[0]); ++i)
    if (posix::kStockCursors[i] == id) return posix::handleFor(posix::kStockCursorBase, i);
  return posix::notFound();
}

}  // extern "C"
