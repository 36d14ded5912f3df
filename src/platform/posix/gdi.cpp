// GDI as a character-cell device: fonts with deterministic metrics, brushes,
// device contexts, text output into the window's cell grid, painting and
// window scrolling.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

enum class Kind { Font, Brush, Pen };

struct GdiObject {
  Kind kind;
  bool stock = false;
  LOGFONTA font{};
  COLORREF color = 0;
  bool hollow = false;
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
  if (!d) return 0;
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
  HideCaret(hwnd);
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
  if (!findWindow(hwnd) || !ps) return FALSE;
  ReleaseDC(hwnd, ps->hdc);
  ShowCaret(hwnd);
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
  HGDIOBJ* slot = o->kind == Kind::Font ? &d->font : o->kind == Kind::Brush ? &d->brush : &d->pen;
  const HGDIOBJ previous = *slot;
  *slot = obj;
  return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ obj) {
  GdiObject* o = object(obj);
  if (!o) return FALSE;
  if (o->stock) return TRUE;
  g_lastObject.forget();
  g_objects.erase(obj);
  return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ obj, int size, LPVOID out) {
  GdiObject* o = object(obj);
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
  const FontMetrics m = metricsOf(object(d->font));
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

}  // extern "C"
