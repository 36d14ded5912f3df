// The common dialogs ChooseColorA and ChooseFontA: small modal dialogs of the
// dialog manager, built from a resource script of their own, so they keep
// dispatching posted and socket messages while open and, on the headless
// display, end at once unless a test answers them.
//
// Colour: three fields Red, Green and Blue (ids 706, 707, 708, as the system's
// chooser numbers them). Font: an editable list of faces (id 1136) and a size in
// points (id 1138). On this character-cell device a point is a pixel: a font of
// n points has lfHeight -n, and a logical font of height h (16 when 0, at most
// 4096, as the GDI measures it) shows as |h| points.
//
// Hooks, templates, custom colours, effects, styles and printer fonts are not
// offered: whatever the flags ask for, the plain dialog runs and only the
// fields named here are read or written.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/dialog.h"
#include "platform/posix/resource_script.h"

namespace posix {
namespace {

constexpr int kRedField = 706;
constexpr int kGreenField = 707;
constexpr int kBlueField = 708;
constexpr int kFaceField = 1136;
constexpr int kSizeField = 1138;

constexpr int kMinPoints = 1;
constexpr int kMaxPoints = 4096;  // the largest height the GDI measures
constexpr int kDefaultPoints = 16;  // the GDI's height for lfHeight 0

const char kScript[] = R"(
CHOOSECOLOR DIALOG 0, 0, 128, 88
STYLE DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Color"
FONT 8, "MS Sans Serif"
BEGIN
    LTEXT           "&Red:", -1, 12, 12, 40, 8
    CONTROL         "", 706, "Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 60, 10, 48, 12
    LTEXT           "&Green:", -1, 12, 28, 40, 8
    CONTROL         "", 707, "Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 60, 26, 48, 12
    LTEXT           "&Blue:", -1, 12, 44, 40, 8
    CONTROL         "", 708, "Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 60, 42, 48, 12
    DEFPUSHBUTTON   "OK", IDOK, 12, 64, 44, 16, WS_GROUP
    PUSHBUTTON      "Cancel", IDCANCEL, 72, 64, 44, 16
END

CHOOSEFONT DIALOG 0, 0, 176, 104
STYLE DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Font"
FONT 8, "MS Sans Serif"
BEGIN
    LTEXT           "&Font:", -1, 12, 8, 40, 8
    CONTROL         "", 1136, "ComboBox", CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_SORT | WS_VSCROLL | WS_TABSTOP,
                    12, 18, 104, 64
    LTEXT           "&Size:", -1, 128, 8, 36, 8
    CONTROL         "", 1138, "Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 128, 18, 36, 12
    DEFPUSHBUTTON   "OK", IDOK, 28, 84, 52, 16, WS_GROUP
    PUSHBUTTON      "Cancel", IDCANCEL, 96, 84, 52, 16
END
)";

// The faces the character-cell GDI draws (all fixed pitch, so CF_FIXEDPITCHONLY
// changes nothing): "Terminal" and "System" are its stock fonts.
const char* const kFaces[] = {"Courier New", "System", "Terminal"};

DWORD g_lastError = 0;

BOOL fail(DWORD error) {
  g_lastError = error;
  return FALSE;
}

const DialogResource* chooserTemplate(const char* name) {
  static const ResourceScript script = parseResourceScript({{"commdlg.rc", kScript}}, "commdlg.rc");
  return script.findDialog(name);
}

// Runs a chooser: TRUE when it ended with OK. A dialog that cannot be made,
// or an owner that is not a window, is CDERR_DIALOGFAILURE.
BOOL runChooser(const char* name, HWND owner, DLGPROC proc, void* state) {
  const DialogResource* templ = chooserTemplate(name);
  if (!templ || (owner && !IsWindow(owner))) return fail(CDERR_DIALOGFAILURE);
  const INT_PTR result = runDialog(*templ, nullptr, owner, proc, reinterpret_cast<LPARAM>(state));
  if (result == -1) return fail(CDERR_DIALOGFAILURE);
  return result == IDOK ? TRUE : FALSE;
}

template <typename State>
State* stateOf(HWND dialog) {
  return reinterpret_cast<State*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

std::string fieldText(HWND dialog, int id) {
  const HWND field = GetDlgItem(dialog, id);
  const int length = field ? GetWindowTextLengthA(field) : 0;
  if (length <= 0) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(field, text.data(), length + 1);
  return std::string(text.data(), static_cast<size_t>(std::clamp(got, 0, length)));
}

std::string trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool allDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number, saturating at `limit` so a long run of digits cannot overflow.
long long digitsValue(const std::string& digits, long long limit) {
  long long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value >= limit) return limit;
  }
  return value;
}

// Moves the focus to a field and selects its text, as after a rejected entry.
void refocus(HWND dialog, int id) {
  if (const HWND field = GetDlgItem(dialog, id))
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
}

// ---- colour ---------------------------------------------------------------------------------------

struct ColorState {
  COLORREF initial = 0;
  COLORREF chosen = 0;
};

// One colour byte. The field holds a whole decimal number with an optional sign
// and blanks around it; values outside 0..255 are clamped to the nearest end, and
// anything else (empty, letters, "0x10", "12abc") counts as 0.
BYTE colorByte(const std::string& field) {
  std::string s = trimmed(field);
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.erase(0, 1);
  }
  if (!allDigits(s) || negative) return 0;
  return static_cast<BYTE>(digitsValue(s, 255));
}

// OK and Cancel of a chooser: OK hands the dialog's state to `accept`, which ends
// the dialog (or keeps it open for a correction); Cancel ends it with IDCANCEL.
template <typename State, typename Accept>
INT_PTR chooserCommand(HWND dialog, WPARAM wParam, Accept accept) {
  if (LOWORD(wParam) == IDOK) {
    if (State* st = stateOf<State>(dialog))
      accept(dialog, st);
    else
      EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK colorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      const ColorState* st = reinterpret_cast<const ColorState*>(lParam);
      SetDlgItemInt(dialog, kRedField, GetRValue(st->initial), FALSE);
      SetDlgItemInt(dialog, kGreenField, GetGValue(st->initial), FALSE);
      SetDlgItemInt(dialog, kBlueField, GetBValue(st->initial), FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      return chooserCommand<ColorState>(dialog, wParam, [](HWND d, ColorState* st) {
        st->chosen = RGB(colorByte(fieldText(d, kRedField)), colorByte(fieldText(d, kGreenField)),
                         colorByte(fieldText(d, kBlueField)));
        EndDialog(d, IDOK);
      });
    default: return FALSE;
  }
}

// ---- font -------------------------------------------------------------------------------------------

struct FontState {
  std::string face;      // shown at the start
  int points = 0;        // shown at the start
  bool listFace = false;  // add `face` to the list
  int minPoints = kMinPoints;
  int maxPoints = kMaxPoints;
  bool mustExist = false;  // CF_FORCEFONTEXIST
  std::string chosenFace;
  int chosenTenths = 0;
};

bool sameFace(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A size in tenths of a point from "12", "10.5" or " 9. " (blanks around, one
// decimal point, the first decimal kept); -1 for anything else.
int sizeTenths(const std::string& field) {
  const std::string s = trimmed(field);
  const size_t dot = s.find('.');
  const std::string whole = s.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? std::string() : s.substr(dot + 1);
  if (!allDigits(whole) || (!fraction.empty() && !allDigits(fraction))) return -1;
  const long long points = digitsValue(whole, kMaxPoints + 1LL);
  return static_cast<int>(points * 10 + (fraction.empty() ? 0 : fraction[0] - '0'));
}

void warn(HWND dialog, const char* text, int field) {
  MessageBoxA(dialog, text, "Font", MB_OK | MB_ICONEXCLAMATION);
  if (IsWindow(dialog)) refocus(dialog, field);
}

// OK: takes the fields when they hold a usable face and size, else says why and stays open.
void acceptFont(HWND dialog, FontState* st) {
  std::string face = trimmed(fieldText(dialog, kFaceField));
  if (face.empty()) {
    warn(dialog, "Type or choose the name of a font.", kFaceField);
    return;
  }
  if (st->mustExist) {
    const LRESULT index =
        SendDlgItemMessageA(dialog, kFaceField, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(face.c_str()));
    char listed[LF_FACESIZE * 2] = {};
    const LRESULT length = index == CB_ERR ? CB_ERR : SendDlgItemMessageA(dialog, kFaceField, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length >= static_cast<LRESULT>(sizeof listed)) {
      warn(dialog, "There is no font of that name. Choose one from the list.", kFaceField);
      return;
    }
    SendDlgItemMessageA(dialog, kFaceField, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(listed));
    face = listed;  // the list's spelling
  }
  const int tenths = sizeTenths(fieldText(dialog, kSizeField));
  if (tenths < st->minPoints * 10 || tenths > st->maxPoints * 10) {
    char text[96];
    std::snprintf(text, sizeof text, "The size must be a number of points from %d to %d.", st->minPoints,
                  st->maxPoints);
    warn(dialog, text, kSizeField);
    return;
  }
  st->chosenFace = face;
  st->chosenTenths = tenths;
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK fontProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      const FontState* st = reinterpret_cast<const FontState*>(lParam);
      std::vector<std::string> faces(std::begin(kFaces), std::end(kFaces));
      if (st->listFace && !st->face.empty() &&
          std::none_of(faces.begin(), faces.end(), [&](const std::string& f) { return sameFace(f, st->face); }))
        faces.push_back(st->face);
      for (const std::string& f : faces)
        SendDlgItemMessageA(dialog, kFaceField, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.c_str()));
      SendDlgItemMessageA(dialog, kFaceField, CB_LIMITTEXT, LF_FACESIZE - 1, 0);
      const LRESULT index = SendDlgItemMessageA(dialog, kFaceField, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(st->face.c_str()));
      if (index != CB_ERR)
        SendDlgItemMessageA(dialog, kFaceField, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      else
        SetDlgItemTextA(dialog, kFaceField, st->face.c_str());
      SetDlgItemInt(dialog, kSizeField, static_cast<UINT>(st->points), FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      return chooserCommand<FontState>(dialog, wParam, acceptFont);
    default: return FALSE;
  }
}

}  // namespace
}  // namespace posix

using namespace posix;

extern "C" {

BOOL WINAPI ChooseColorA(LPCHOOSECOLORA cc) {
  g_lastError = 0;
  if (!cc) return fail(CDERR_INITIALIZATION);
  if (cc->lStructSize != sizeof(CHOOSECOLORA)) return fail(CDERR_STRUCTSIZE);
  ColorState st;
  st.initial = (cc->Flags & CC_RGBINIT) ? (cc->rgbResult & 0x00FFFFFF) : RGB(0, 0, 0);
  if (!runChooser("CHOOSECOLOR", cc->hwndOwner, colorProc, &st)) return FALSE;
  cc->rgbResult = st.chosen;
  return TRUE;
}

BOOL WINAPI ChooseFontA(LPCHOOSEFONTA cf) {
  g_lastError = 0;
  if (!cf) return fail(CDERR_INITIALIZATION);
  if (cf->lStructSize != sizeof(CHOOSEFONTA)) return fail(CDERR_STRUCTSIZE);
  if (!cf->lpLogFont) return fail(CDERR_INITIALIZATION);
  FontState st;
  if (cf->Flags & CF_LIMITSIZE) {
    if (cf->nSizeMax < cf->nSizeMin) return fail(CFERR_MAXLESSTHANMIN);
    st.minPoints = std::clamp(cf->nSizeMin, kMinPoints, kMaxPoints);
    st.maxPoints = std::clamp(cf->nSizeMax, st.minPoints, kMaxPoints);
  }
  st.mustExist = (cf->Flags & CF_FORCEFONTEXIST) != 0;
  st.face = kFaces[0];
  st.points = kDefaultPoints;
  if (cf->Flags & CF_INITTOLOGFONTSTRUCT) {
    // The caller's face may fill all LF_FACESIZE bytes without a terminating NUL.
    const LOGFONTA& lf = *cf->lpLogFont;
    const std::string face(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    if (!face.empty()) {
      st.face = face;
      st.listFace = true;
    }
    const long long height = lf.lfHeight < 0 ? -static_cast<long long>(lf.lfHeight) : lf.lfHeight;
    st.points = height == 0 ? kDefaultPoints : static_cast<int>(std::min<long long>(height, kMaxPoints));
  }
  if (!runChooser("CHOOSEFONT", cf->hwndOwner, fontProc, &st)) return FALSE;

  // Face and height only: the caller's character set, weight and the rest stay.
  LOGFONTA& lf = *cf->lpLogFont;
  std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
  std::memcpy(lf.lfFaceName, st.chosenFace.data(), std::min<size_t>(st.chosenFace.size(), LF_FACESIZE - 1));
  lf.lfHeight = -std::max(1, (st.chosenTenths + 5) / 10);
  cf->iPointSize = st.chosenTenths;
  cf->nFontType = SCREEN_FONTTYPE;
  return TRUE;
}

DWORD WINAPI CommDlgExtendedError(void) { return g_lastError; }

}  // extern "C"
