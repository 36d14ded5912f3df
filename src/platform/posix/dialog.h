// The dialog manager's internals: dialogs made from the resource script's
// templates, the built-in control classes, and what a display needs to draw an
// open dialog and feed it input. Not for program code.
//
// Dialog units become pixels with fixed base units of 8 x 16 pixels, the cell of
// the system font: a template's 4 x 8 dialog units are one character cell, so
// a control sized for its text in dialog units holds that text in cells.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/resource_script.h"
#include "platform/posix/win32_posix.h"

namespace posix {

constexpr int kDialogBaseX = 8;   // pixels per 4 horizontal dialog units
constexpr int kDialogBaseY = 16;  // pixels per 8 vertical dialog units

// The class name of dialog windows.
constexpr const char* kDialogClass = "#32770";

// ---- dialogs --------------------------------------------------------------------------

// Creates a dialog from a template: the window, its controls, WM_SETFONT and
// WM_INITDIALOG. Returns nullptr when a control cannot be created.
HWND createDialog(const DialogResource& templ, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param);
// Runs a template as DialogBoxParamA does: modal, returning EndDialog's result.
INT_PTR runDialog(const DialogResource& templ, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param);
// True for a window made by the dialog manager (modal or modeless).
bool isDialog(HWND hwnd);
// Records the control of `dialog` that has the focus, restored when the dialog is focused again.
void noteDialogFocus(HWND dialog, HWND control);
// Gives a control of `dialog` the focus as the dialog manager does: an edit field
// (DLGC_HASSETSEL) has all its text selected first.
void setDialogFocus(HWND dialog, HWND control);
// The brush and DC colours a control is drawn with: sends the WM_CTLCOLOR* message
// that fits the control to its parent; a zero answer gives the default colours.
HBRUSH controlColors(HWND control, HDC dc);
// The default colours for a WM_CTLCOLOR* message (sets the DC's colours).
HBRUSH defaultControlColors(UINT ctlColorMessage, HDC dc);
// The direct child windows of `dialog`, in creation (tab) order.
std::vector<HWND> dialogChildren(HWND dialog);
// The controls of the group `control` belongs to: from the nearest WS_GROUP
// control at or before it up to the next WS_GROUP control.
std::vector<HWND> dialogGroup(HWND control);
// The button the Enter key presses: the focused push button, else the default button
// (DM_GETDEFID, IDOK without one); *id gets its id. nullptr when no such control exists.
HWND enterButton(HWND dialog, int* id);
// Presses Escape: WM_COMMAND IDCANCEL to the dialog, unless its IDCANCEL control is
// disabled. False when nothing was sent.
bool cancelDialog(HWND dialog);
// Splits text at its line breaks and, when `wrap`, wraps each line at word
// boundaries to `columns` (words longer than that are cut).
std::vector<std::string> wrapText(const std::string& text, int columns, bool wrap);
// Forgets every dialog and control state (platform reset).
void resetDialogs();

// ---- controls ------------------------------------------------------------------------------

// Registers BUTTON, EDIT, STATIC and COMBOBOX when they are not registered.
void registerControlClasses();
void resetControlStates();

enum class ControlKind {
  kPushButton,
  kDefPushButton,
  kCheckBox,
  kRadioButton,
  kGroupBox,
  kOwnerDrawButton,
  kEdit,
  kStatic,
  kIcon,
  kComboBox,
  kOther,
};

// A control as a display shows it.
struct ControlView {
  HWND handle = nullptr;
  int id = 0;
  ControlKind kind = ControlKind::kOther;
  std::string className;
  DWORD style = 0;
  RECT rect{};       // in the dialog's client pixels
  std::string text;  // as set, mnemonic ampersands included
  int check = BST_UNCHECKED;
  bool pushed = false;
  bool enabled = true;
  bool visible = true;
  bool focused = false;
  bool isDefault = false;  // the button Enter presses
  bool autoCheck = false;  // auto check box or auto radio button
  // Edit fields and combo boxes.
  int selStart = 0;
  int selEnd = 0;
  bool readOnly = false;
  bool password = false;
  // Combo boxes.
  std::vector<std::string> items;
  int selection = -1;
  bool dropped = false;
  bool editable = false;  // CBS_DROPDOWN: the text can be typed
  int listHeight = 0;     // pixels below the control that the open list may use
  HICON icon = nullptr;   // icon statics
};

struct DialogView {
  HWND handle = nullptr;
  HWND owner = nullptr;
  std::string caption;
  RECT rect{};    // the window, screen pixels
  RECT client{};  // the client area, screen pixels
  bool modal = false;
  bool ended = false;
  HWND focus = nullptr;
  std::vector<ControlView> controls;  // in tab (creation) order
};

// The dialogs that exist, oldest (outermost) first.
std::vector<HWND> openDialogs();
// Describes a dialog; false when `dialog` is not one.
bool viewDialog(HWND dialog, DialogView* out);
// Fills the control-specific parts of a view; false when `control` is not a built-in control.
bool viewControl(HWND control, ControlView* out);
// The visible, enabled control of `dialog` under a point of its client area, or nullptr.
// A group box only counts where no other control lies.
HWND controlAt(HWND dialog, POINT client);
// Picks entry `index` of a combo box's list as a mouse click on it would:
// selects it, shows its text, notifies CBN_SELCHANGE and closes the list.
bool chooseComboItem(HWND combo, int index);

// The text a control shows for `text`: "&x" becomes "x", "&&" becomes "&".
std::string withoutMnemonic(const std::string& text);
// The mnemonic character of a control text (lower case), or 0.
char mnemonicOf(const std::string& text);

}  // namespace posix
