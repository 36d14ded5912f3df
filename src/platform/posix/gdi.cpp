// GDI as a character-cell device: fonts with deterministic metrics, brushes,
// device contexts, text output into the window's cell grid, painting and
// window scrolling. Memory DCs draw into bitmaps of real pixels (PatBlt only),
// which is what a bitmap-shaped caret needs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

enum class Kind { Font, Brush, Pen, Bitmap };

// The colour depth of the display, and so of bitmaps compatible with a window's DC.
constexpr int kScreenBitsPixel = 32;
// No bitmap is made larger than this many pixels.
constexpr long long kMaxBitmapPixels = 1 << 24;

struct GdiObject {
  Kind kind;
  bool stock = false;
  LOGFONTA font{};
  COLORREF color = 0;
  bool hollow = false;
  // Bitmaps: size, colour depth (1: monochrome, black or white) and pixels row by row.
  int width = 0;
  int height = 0;
  int bitsPixel = 0;
  std::vector<COLORREF> pixels;
  HDC selectedInto = nullptr;  // the memory DC a bitmap is selected into
};

struct DeviceContext {
  HWND hwnd = nullptr;
  bool own = false;
  HGDIOBJ font = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ pen = nullptr;
  COLORREF text = 0x000000;
  COLORREF background = 0xFFFFFF;
  int bkMode = OPAQUE;
  bool memory = false;  // made by CreateCompatibleDC: draws into `bitmap`
  HGDIOBJ bitmap = nullptr;
};

std::map<HGDIOBJ, std::unique_ptr<GdiObject>> g_objects;
std::map<HDC, std::unique_ptr<DeviceContext>> g_dcs;
HGDIOBJ g_stock[18] = {};
uintptr_t g_nextObject = 0x300000;
uintptr_t g_nextDC = 0x400000;

// The last few handles each table gave out and what they stand for: drawing
// comes in long runs on a DC or two with a few objects. Forgotten whenever the
// table changes, so a cached pointer never outlives its entry.
template <typename Handle, typename Value>
struct LastLookup {
  static constexpr int kEntries = 4;
  Handle handles[kEntries] = {};
  Value* values[kEntries] = {};
  int next = 0;
  void forget() { *this = LastLookup{}; }
};
LastLookup<HGDIOBJ, GdiObject> g_lastObject;
LastLookup<HDC, DeviceContext> g_lastDc;

template <typename Handle, typename Value>
Value* lookUp(std::map<Handle, std::unique_ptr<Value>>& table, LastLookup<Handle, Value>& last, Handle h) {
  if (h == nullptr) return nullptr;
  for (int i = 0; i < last.kEntries; ++i)
    if (last.handles[i] == h) return last.values[i];
  auto it = table.find(h);
  if (it == table.end()) return nullptr;
  last.handles[last.next] = h;
  last.values[last.next] = it->second.get();
  last.next = (last.next + 1) % last.kEntries;
  return it->second.get();
}

GdiObject* object(HGDIOBJ h) { return lookUp(g_objects, g_lastObject, h); }

DeviceContext* dc(HDC h) { return lookUp(g_dcs, g_lastDc, h); }

HGDIOBJ addObject(std::unique_ptr<GdiObject> o) {
  const HGDIOBJ h = reinterpret_cast<HGDIOBJ>(g_nextObject);
  g_nextObject += 4;
  g_lastObject.forget();
  g_objects[h] = std::move(o);
  return h;
}

HGDIOBJ stock(int index) {
  if (index < 0 || index >= 18) return nullptr;
  if (g_stock[index]) return g_stock[index];
  auto o = std::make_unique<GdiObject>();
  o->stock = true;
  switch (index) {
    case WHITE_BRUSH: o->kind = Kind::Brush; o->color = 0xFFFFFF; break;
    case LTGRAY_BRUSH: o->kind = Kind::Brush; o->color = 0xC0C0C0; break;
    case GRAY_BRUSH: o->kind = Kind::Brush; o->color = 0x808080; break;
    case DKGRAY_BRUSH: o->kind = Kind::Brush; o->color = 0x404040; break;
    case BLACK_BRUSH: o->kind = Kind::Brush; o->color = 0x000000; break;
    case NULL_BRUSH: o->kind = Kind::Brush; o->hollow = true; break;
    case WHITE_PEN: o->kind = Kind::Pen; o->color = 0xFFFFFF; break;
    case BLACK_PEN: o->kind = Kind::Pen; o->color = 0x000000; break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case SYSTEM_FIXED_FONT:
    case DEFAULT_GUI_FONT:
      o->kind = Kind::Font;
      o->font.lfHeight = 16;
      o->font.lfWidth = 8;
      o->font.lfWeight = FW_NORMAL;
      o->font.lfCharSet = index == OEM_FIXED_FONT ? OEM_CHARSET : ANSI_CHARSET;
      o->font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
      std::snprintf(o->font.lfFaceName, LF_FACESIZE, "%s", index == OEM_FIXED_FONT ? "Terminal" : "System");
      break;
    default: return nullptr;
  }
  g_stock[index] = addObject(std::move(o));
  return g_stock[index];
}

// The 1 x 1 monochrome bitmap that memory DCs start with; like a stock object it
// may be selected into any number of them and is never deleted.
HGDIOBJ defaultBitmap() {
  static HGDIOBJ handle = nullptr;
  if (handle && object(handle)) return handle;
  auto o = std::make_unique<GdiObject>();
  o->kind = Kind::Bitmap;
  o->stock = true;
  o->width = o->height = 1;
  o->bitsPixel = 1;
  o->pixels.assign(1, 0x000000);
  handle = addObject(std::move(o));
  return handle;
}

GdiObject* bitmapOf(HGDIOBJ h) {
  GdiObject* o = object(h);
  return o && o->kind == Kind::Bitmap ? o : nullptr;
}

// A colour as a pixel of the bitmap: monochrome pixels are black or white,
// whichever is nearer.
COLORREF pixelColor(const GdiObject& bitmap, COLORREF color) {
  color &= 0x00FFFFFF;
  if (bitmap.bitsPixel != 1) return color;
  const int sum = GetRValue(color) + GetGValue(color) + GetBValue(color);
  return sum >= 3 * 128 ? 0xFFFFFF : 0x000000;
}

FontMetrics metricsOf(const GdiObject* font) {
  if (!font || font->kind != Kind::Font) return FontMetrics{8, 16, ANSI_CHARSET};
  // |lfHeight| (16 when 0), bounded so a hostile size cannot overflow the arithmetic.
  long long h = std::llabs(static_cast<long long>(font->font.lfHeight));
  if (h == 0) h = 16;
  h = std::min<long long>(h, 4096);
  long long w = font->font.lfWidth > 0 ? std::min<long long>(font->font.lfWidth, 4096) : h / 2;
  if (w < 1) w = 1;
  return FontMetrics{static_cast<int>(w), static_cast<int>(h), font->font.lfCharSet};
}

DeviceContext* newDC(HWND hwnd, bool own, HDC* handle) {
  auto d = std::make_unique<DeviceContext>();
  d->hwnd = hwnd;
  d->own = own;
  d->font = stock(SYSTEM_FONT);
  d->brush = stock(WHITE_BRUSH);
  d->pen = stock(BLACK_PEN);
  *handle = reinterpret_cast<HDC>(g_nextDC);
  g_nextDC += 4;
  DeviceContext* raw = d.get();
  g_lastDc.forget();
  g_dcs[*handle] = std::move(d);
  return raw;
}

int floorDiv(long long a, int b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return static_cast<int>(std::clamp<long long>(q, -(1 << 20), 1 << 20));
}

int ceilDiv(long long a, int b) { return -floorDiv(-a, b); }

// Grows the grid to cover the client area in the window's reference cells.
void coverClient(Window& w, const Cell& fill) {
  const FontMetrics cell = referenceCell(w);
  int cw = 0, ch = 0;
  clientSize(w, &cw, &ch);
  w.grid.ensure(ceilDiv(cw, cell.width), ceilDiv(ch, cell.height), fill);
}

COLORREF brushColor(HBRUSH brush, bool* hollow) {
  *hollow = false;
  // System colour indices (COLOR_WINDOW + 1, ...) stand for the light dialog colours.
  const uintptr_t value = reinterpret_cast<uintptr_t>(brush);
  if (value > 0 && value <= 31) return value == 9 ? 0x000000 : 0xFFFFFF;
  GdiObject* o = object(brush);
  if (!o || o->kind != Kind::Brush || o->hollow) {
    *hollow = true;
    return 0;
  }
  return o->color;
}

void fillCells(Window& w, HDC hdc, const RECT& r, HBRUSH brush) {
  bool hollow = false;
  const COLORREF color = brushColor(brush, &hollow);
  if (hollow) return;
  DeviceContext* d = dc(hdc);
  Cell blank;
  blank.bg = color;
  blank.fg = d ? d->text : 0;
  coverClient(w, blank);
  const FontMetrics cell = referenceCell(w);
  w.grid.fill(floorDiv(r.left, cell.width), floorDiv(r.top, cell.height), ceilDiv(r.right, cell.width),
              ceilDiv(r.bottom, cell.height), blank);
  display().windowChanged(w.handle);
}

}  // namespace

FontMetrics referenceCell(Window& w) {
  DeviceContext* d = w.ownDC ? dc(w.ownDC) : nullptr;
  return metricsOf(object(d ? d->font : stock(SYSTEM_FONT)));
}

void eraseBackground(Window& w, HDC hdc) {
  int cw = 0, ch = 0;
  clientSize(w, &cw, &ch);
  fillCells(w, hdc, RECT{0, 0, cw, ch}, w.cls->background);
}

bool bitmapSize(HGDIOBJ bitmap, int* width, int* height) {
  const GdiObject* b = bitmapOf(bitmap);
  if (!b) return false;
  *width = b->width;
  *height = b->height;
  return true;
}

void releaseWindowDCs(Window& w) {
  g_lastDc.forget();
  for (auto it = g_dcs.begin(); it != g_dcs.end();)
    it = it->second->hwnd == w.handle ? g_dcs.erase(it) : std::next(it);
  w.ownDC = nullptr;
}

void resetGdi() {
  g_lastDc.forget();
  g_lastObject.forget();
  g_dcs.clear();
  for (auto it = g_objects.begin(); it != g_objects.end();)
    it = it->second->stock ? std::next(it) : g_objects.erase(it);
}

namespace testing {
int liveGdiObjects() {
  int n = 0;
  for (const auto& [h, o] : g_objects) n += o->stock ? 0 : 1;
  return n;
}
}  // namespace testing

}  // namespace posix

using namespace posix;

extern "C" {

HDC WINAPI GetDC(HWND hwnd) {
  HDC handle = nullptr;
  if (!hwnd) {
    newDC(nullptr, false, &handle);
    return handle;
  }
  Window* w = findWindow(hwnd);
  if (!w) return nullptr;
  if (w->cls->style & CS_OWNDC) {
    if (!w->ownDC) newDC(hwnd, true, &w->ownDC);
    return w->ownDC;
  }
  newDC(hwnd, false, &handle);
  return handle;
}

int WINAPI ReleaseDC(HWND, HDC hdc) {
  DeviceContext* d = dc(hdc);
  if (!d || d->memory) return 0;  // a memory DC is ended with DeleteDC
  if (!d->own) {
    g_lastDc.forget();
    g_dcs.erase(hdc);
  }
  return 1;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  Window* w = findWindow(hwnd);
  if (!w || !ps) return nullptr;
  std::memset(ps, 0, sizeof *ps);
  w->paintHidCaret = HideCaret(hwnd) != FALSE;
  const HDC hdc = GetDC(hwnd);
  int cw = 0, ch = 0;
  clientSize(*w, &cw, &ch);
  ps->hdc = hdc;
  ps->rcPaint = w->invalid ? w->update : RECT{0, 0, cw, ch};
  const bool erase = w->erasePending;
  w->invalid = false;
  w->erasePending = false;
  w->update = RECT{0, 0, 0, 0};
  if (erase) ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  return hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  Window* w = findWindow(hwnd);
  if (!w || !ps) return FALSE;
  ReleaseDC(hwnd, ps->hdc);
  // Only a hide of BeginPaint's own is undone, never one of the program's.
  if (w->paintHidCaret) {
    w->paintHidCaret = false;
    ShowCaret(hwnd);
  }
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) {
    for (HWND h : allWindows()) InvalidateRect(h, nullptr, erase);
    return TRUE;
  }
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  int cw = 0, ch = 0;
  clientSize(*w, &cw, &ch);
  RECT r = rect ? *rect : RECT{0, 0, cw, ch};
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, cw);
  r.bottom = std::min<LONG>(r.bottom, ch);
  if (r.left >= r.right || r.top >= r.bottom) {
    if (erase && w->invalid) w->erasePending = true;
    return TRUE;
  }
  if (w->invalid) {
    w->update.left = std::min(w->update.left, r.left);
    w->update.top = std::min(w->update.top, r.top);
    w->update.right = std::max(w->update.right, r.right);
    w->update.bottom = std::max(w->update.bottom, r.bottom);
  } else {
    w->update = r;
  }
  w->invalid = true;
  if (erase) w->erasePending = true;
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  const RECT& u = w->update;
  if (!rect || (rect->left <= u.left && rect->top <= u.top && rect->right >= u.right && rect->bottom >= u.bottom)) {
    w->invalid = false;
    w->erasePending = false;
    w->update = RECT{0, 0, 0, 0};
  }
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->invalid ? w->update : RECT{0, 0, 0, 0};
  return w->invalid ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  if (w->invalid && IsWindowVisible(hwnd)) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  int cw = 0, ch = 0;
  clientSize(*w, &cw, &ch);
  RECT r = rect ? *rect : RECT{0, 0, cw, ch};
  if (clip) {
    r.left = std::max(r.left, clip->left);
    r.top = std::max(r.top, clip->top);
    r.right = std::min(r.right, clip->right);
    r.bottom = std::min(r.bottom, clip->bottom);
  }
  coverClient(*w, Cell{});
  const FontMetrics cell = referenceCell(*w);
  w->grid.scroll(floorDiv(r.left, cell.width), floorDiv(r.top, cell.height), ceilDiv(r.right, cell.width),
                 ceilDiv(r.bottom, cell.height), dx / cell.width, dy / cell.height);
  // The strip the move uncovered must be repainted.
  RECT uncovered = r;
  if (dy > 0) uncovered.bottom = std::min<LONG>(r.bottom, r.top + dy);
  if (dy < 0) uncovered.top = std::max<LONG>(r.top, r.bottom + dy);
  if (dx > 0) uncovered.right = std::min<LONG>(r.right, r.left + dx);
  if (dx < 0) uncovered.left = std::max<LONG>(r.left, r.right + dx);
  if (dx != 0 || dy != 0) InvalidateRect(hwnd, &uncovered, TRUE);
  display().windowChanged(hwnd);
  return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int index) { return stock(index); }

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ obj) {
  DeviceContext* d = dc(hdc);
  GdiObject* o = object(obj);
  if (!d || !o) return nullptr;
  if (o->kind == Kind::Bitmap) {
    // A bitmap goes only into a memory DC, and into one at a time.
    if (!d->memory || (o->selectedInto && o->selectedInto != hdc)) return nullptr;
    const HGDIOBJ previous = d->bitmap;
    if (GdiObject* old = bitmapOf(previous)) old->selectedInto = nullptr;
    if (!o->stock) o->selectedInto = hdc;
    d->bitmap = obj;
    return previous;
  }
  HGDIOBJ* slot = o->kind == Kind::Font ? &d->font : o->kind == Kind::Brush ? &d->brush : &d->pen;
  const HGDIOBJ previous = *slot;
  *slot = obj;
  return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ obj) {
  GdiObject* o = object(obj);
  if (!o) return FALSE;
  if (o->stock) return TRUE;
  if (o->kind == Kind::Bitmap && o->selectedInto) return FALSE;  // still in a memory DC
  g_lastObject.forget();
  g_objects.erase(obj);
  return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ obj, int size, LPVOID out) {
  GdiObject* o = object(obj);
  if (o && o->kind == Kind::Bitmap) {
    if (!out) return static_cast<int>(sizeof(BITMAP));
    BITMAP b{};
    b.bmWidth = o->width;
    b.bmHeight = o->height;
    b.bmWidthBytes = (o->width * o->bitsPixel + 15) / 16 * 2;  // rows padded to whole words
    b.bmPlanes = 1;
    b.bmBitsPixel = static_cast<WORD>(o->bitsPixel);
    const int n = std::min(size, static_cast<int>(sizeof b));
    if (n <= 0) return 0;
    std::memcpy(out, &b, static_cast<size_t>(n));
    return n;
  }
  if (!o || o->kind != Kind::Font) return 0;
  if (!out) return static_cast<int>(sizeof(LOGFONTA));
  const int n = std::min(size, static_cast<int>(sizeof(LOGFONTA)));
  if (n <= 0) return 0;
  std::memcpy(out, &o->font, static_cast<size_t>(n));
  return n;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  auto o = std::make_unique<GdiObject>();
  o->kind = Kind::Brush;
  o->color = color & 0x00FFFFFF;
  return reinterpret_cast<HBRUSH>(addObject(std::move(o)));
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lf) {
  if (!lf) return nullptr;
  auto o = std::make_unique<GdiObject>();
  o->kind = Kind::Font;
  o->font = *lf;
  o->font.lfFaceName[LF_FACESIZE - 1] = '\0';
  return reinterpret_cast<HFONT>(addObject(std::move(o)));
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA tm) {
  DeviceContext* d = dc(hdc);
  if (!d || !tm) return FALSE;
  GdiObject* font = object(d->font);
  const FontMetrics m = metricsOf(font);
  std::memset(tm, 0, sizeof *tm);
  tm->tmHeight = m.height;
  tm->tmAscent = m.height - m.height / 5;
  tm->tmDescent = m.height / 5;
  tm->tmAveCharWidth = m.width;
  tm->tmMaxCharWidth = m.width;
  tm->tmWeight = font ? font->font.lfWeight : FW_NORMAL;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  tm->tmCharSet = m.charset;
  tm->tmPitchAndFamily = FF_MODERN;  // fixed pitch: the TMPF_FIXED_PITCH bit is clear
  return TRUE;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  DeviceContext* d = dc(hdc);
  if (!d) return CLR_INVALID;
  const COLORREF previous = d->text;
  d->text = color & 0x00FFFFFF;
  return previous;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  DeviceContext* d = dc(hdc);
  if (!d) return CLR_INVALID;
  const COLORREF previous = d->background;
  d->background = color & 0x00FFFFFF;
  return previous;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  DeviceContext* d = dc(hdc);
  return d ? d->text : CLR_INVALID;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
  DeviceContext* d = dc(hdc);
  return d ? d->background : CLR_INVALID;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  DeviceContext* d = dc(hdc);
  if (!d || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  const int previous = d->bkMode;
  d->bkMode = mode;
  return previous;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count) {
  DeviceContext* d = dc(hdc);
  if (!d || count < 0 || (count > 0 && !text)) return FALSE;
  Window* w = findWindow(d->hwnd);
  if (!w) return TRUE;  // the screen DC draws nowhere
  const GdiObject* font = object(d->font);
  const FontMetrics m = metricsOf(font);
  // Underlined fonts underline every cell they draw, in either background mode.
  const bool underline = font && font->kind == Kind::Font && font->font.lfUnderline != 0;
  const int row = floorDiv(y, m.height);
  const int first = floorDiv(x, m.width);
  if (row < 0 || row >= CellGrid::kMaxRows || first >= CellGrid::kMaxColumns) return TRUE;
  Cell blank;
  blank.bg = d->background;
  coverClient(*w, blank);
  const int end = static_cast<int>(std::min<long long>(static_cast<long long>(first) + count, CellGrid::kMaxColumns));
  w->grid.ensure(end, row + 1, blank);
  const int start = std::max(first, 0);
  const int stop = std::min(end, w->grid.columns());
  if (start < stop && row < w->grid.rows()) {
    Cell* cell = w->grid.at(start, row);  // the row's cells are contiguous
    const bool opaque = d->bkMode == OPAQUE;
    for (int column = start; column < stop; ++column, ++cell) {
      cell->ch = text[column - first];
      cell->charset = m.charset;
      cell->fg = d->text;
      cell->underline = underline;
      if (opaque) cell->bg = d->background;
    }
  }
  display().windowChanged(w->handle);
  return TRUE;
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  DeviceContext* d = dc(hdc);
  if (!d || !rect) return 0;
  if (Window* w = findWindow(d->hwnd)) fillCells(*w, hdc, *rect, brush);
  return 1;
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  if (hdc && !dc(hdc)) return nullptr;
  HDC handle = nullptr;
  DeviceContext* d = newDC(nullptr, false, &handle);
  d->memory = true;
  d->bitmap = defaultBitmap();
  return handle;
}

BOOL WINAPI DeleteDC(HDC hdc) {
  DeviceContext* d = dc(hdc);
  if (!d || !d->memory) return FALSE;  // window DCs are given back with ReleaseDC
  if (GdiObject* b = bitmapOf(d->bitmap)) b->selectedInto = nullptr;
  g_lastDc.forget();
  g_dcs.erase(hdc);
  return TRUE;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height) {
  DeviceContext* d = dc(hdc);
  if (!d || width < 0 || height < 0) return nullptr;
  if (width == 0 || height == 0) return static_cast<HBITMAP>(defaultBitmap());
  if (static_cast<long long>(width) * height > kMaxBitmapPixels) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // A memory DC's bitmaps take the format of the bitmap selected into it (a new
  // memory DC's is monochrome); any other DC's, the display's.
  const GdiObject* current = d->memory ? bitmapOf(d->bitmap) : nullptr;
  auto o = std::make_unique<GdiObject>();
  o->kind = Kind::Bitmap;
  o->width = width;
  o->height = height;
  o->bitsPixel = current ? current->bitsPixel : kScreenBitsPixel;
  o->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0x000000);
  return static_cast<HBITMAP>(addObject(std::move(o)));
}

// Draws into the bitmap of a memory DC; a window's cells take no pixels.
BOOL WINAPI PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  DeviceContext* d = dc(hdc);
  GdiObject* b = d && d->memory ? bitmapOf(d->bitmap) : nullptr;
  if (!b || (rop != PATCOPY && rop != WHITENESS && rop != BLACKNESS && rop != DSTINVERT)) return FALSE;
  bool hollow = false;
  const COLORREF brush = rop == PATCOPY ? brushColor(static_cast<HBRUSH>(d->brush), &hollow) : 0;
  if (hollow) return TRUE;  // a hollow brush paints nothing
  // The rectangle, normalised when a size is negative, clipped to the bitmap.
  long long left = x, top = y, right = left + width, bottom = top + height;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  left = std::max(left, 0LL);
  top = std::max(top, 0LL);
  right = std::min<long long>(right, b->width);
  bottom = std::min<long long>(bottom, b->height);
  for (long long row = top; row < bottom; ++row) {
    for (long long column = left; column < right; ++column) {
      COLORREF& pixel = b->pixels[static_cast<size_t>(row * b->width + column)];
      const COLORREF color = rop == WHITENESS ? 0xFFFFFF : rop == BLACKNESS ? 0 : rop == PATCOPY ? brush : ~pixel;
      pixel = pixelColor(*b, color);
    }
  }
  return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  DeviceContext* d = dc(hdc);
  const GdiObject* b = d && d->memory ? bitmapOf(d->bitmap) : nullptr;
  if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return CLR_INVALID;
  return b->pixels[static_cast<size_t>(y) * static_cast<size_t>(b->width) + static_cast<size_t>(x)];
}

}  // extern "C"
