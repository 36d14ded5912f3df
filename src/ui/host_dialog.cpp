// The host dialog: host name, terminal type and the trace box.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/host_text.h"
#include "net/telnet.h"
#include "net/tls.h"
#include "terminal/comm_tcp.h"
#include "tn3270/terminal_model.h"
#include "ui/center_wnd.h"
#include "ui/resource.h"

namespace {

// Offered when the command line names no host: the demo host on this machine.
const char kFixedDefaultHost[] = "localhost:2323";

// The host buffer of the dialog that is open (there is only ever one).
char* g_hostBuffer = nullptr;

// The first command-line argument that is not an option, after the program name.
std::string commandLineHost() {
  const char* p = GetCommandLineA();
  if (!p) return "";
  std::string line(p);
  size_t i = 0;
  auto nextToken = [&]() {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::string token;
    bool quoted = false;
    for (; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') {
        quoted = !quoted;
      } else if ((c == ' ' || c == '\t') && !quoted) {
        break;
      } else {
        token += c;
      }
    }
    return token;
  };
  nextToken();  // the program
  for (std::string token = nextToken(); !token.empty(); token = nextToken())
    if (token[0] != '-') return token;
  return "";
}

// The models offered, the default first.
std::vector<std::string> modelNames() {
  std::vector<std::string> names;
  for (int color = 0; color < 2; ++color)
    for (int number = 2; number <= 5; ++number)
      for (int extended = 0; extended < 2; ++extended)
        names.push_back(TerminalModelName(TerminalModel{static_cast<uint8_t>(number), static_cast<uint8_t>(color),
                                                        static_cast<uint8_t>(extended)}));
  return names;
}

// The model list, the terminal's model selected.
void fillModelChoice(HWND dialog) {
  const CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(GetParent(dialog), 0));
  const std::string current = TerminalModelName(t ? t->modelScreen.model : ReadModelSetting());
  int index = 0;
  for (const std::string& name : modelNames()) {
    SendDlgItemMessageA(dialog, IDC_MODEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (name == current) SendDlgItemMessageA(dialog, IDC_MODEL, CB_SETCURSEL, index, 0);
    ++index;
  }
}

// A model other than the terminal's becomes its model and the setting.
void takeModelChoice(HWND dialog, CommTcp& t) {
  char name[32] = {};
  GetDlgItemTextA(dialog, IDC_MODEL, name, sizeof name);
  TerminalModel chosen;
  if (!ParseTerminalModel(name, &chosen) || TerminalModelName(chosen) == TerminalModelName(t.modelScreen.model))
    return;
  model3270::ResetScreen(t.modelScreen, chosen);
  WriteModelSetting(chosen);
}

}  // namespace

const char* DefaultHostName() {
  static std::string host;
  if (host.empty()) {
    host = commandLineHost();
    if (host.empty() || host.size() >= kHostTextSize) host = kFixedDefaultHost;
  }
  return host.c_str();
}

extern "C" {

int ncTcpGetHostName(HINSTANCE instance, HWND window, char* hostName) {
  if (!hostName) return 0;
  std::strncpy(hostName, DefaultHostName(), HOST_NAME_SIZE - 1);
  hostName[HOST_NAME_SIZE - 1] = '\0';
  CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0));
  if (t) std::snprintf(t->hostText, sizeof t->hostText, "%s", DefaultHostName());
  if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_HOST), window, Dlg_Host, reinterpret_cast<LPARAM>(hostName)) <= 0) {
    MessageBoxA(window, "You have cancelled the internet address selection, Please try again later",
                "Cancel Adress Selection", MB_OK);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }
  // The caption shows the name without its prefixes, and whether the session is encrypted.
  HostText host;
  std::string caption = "Quillon  Host:  ";
  if (ParseHostText(t && t->hostText[0] ? t->hostText : hostName, &host, nullptr)) {
    caption += host.shown;
    if (host.tls) caption += ReadTlsOptions().verify ? "  [TLS]" : "  [TLS, unverified]";
  } else {
    caption += t && t->hostText[0] ? t->hostText : hostName;
  }
  SetWindowTextA(window, caption.c_str());
  return 1;
}

INT_PTR CALLBACK Dlg_Host(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWnd(dialog);
      g_hostBuffer = reinterpret_cast<char*>(lParam);
      SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DefaultHostName()));
      // A default longer than the buffer is offered whole.
      SetDlgItemTextA(dialog, IDC_HOSTNAME,
                      !g_hostBuffer                                                          ? ""
                      : std::strncmp(DefaultHostName(), g_hostBuffer, HOST_NAME_SIZE - 1) == 0 ? DefaultHostName()
                                                                                             : g_hostBuffer);
      CheckRadioButton(dialog, IDC_VT100, IDC_IBM3270, IDC_IBM3270);
      fillModelChoice(dialog);
      return 0;
    case WM_COMMAND:
      if (wParam == IDOK) {
        // The whole text (up to 255 characters) for the connection; the host
        // buffer keeps its first 39.
        char text[kHostTextSize] = {};
        GetDlgItemTextA(dialog, IDC_HOSTNAME, text, sizeof text);
        if (g_hostBuffer) {
          const size_t n = strnlen(text, HOST_NAME_SIZE - 1);
          std::memcpy(g_hostBuffer, text, n);
          g_hostBuffer[n] = '\0';
        }
        CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(GetParent(dialog), 0));
        if (t) std::snprintf(t->hostText, sizeof t->hostText, "%s", text);
        if (t) {
          t->traceRequested = IsDlgButtonChecked(dialog, IDC_TRACE) == BST_CHECKED ? 1 : 0;
          if (IsDlgButtonChecked(dialog, IDC_VT100) == BST_CHECKED) {
            t->terminalType = kTypeVt100;
            t->terminalMode &= ~kModeIBM3270;
          } else if (IsDlgButtonChecked(dialog, IDC_IBM3270) == BST_CHECKED) {
            t->terminalType = kTypeIbm3270;
            t->terminalMode |= kModeIBM3270;
            takeModelChoice(dialog, *t);
          }
        }
        g_hostBuffer = nullptr;
        EndDialog(dialog, 1);
        return 1;
      }
      if (wParam == IDCANCEL) {
        g_hostBuffer = nullptr;
        EndDialog(dialog, 0);
        return 0;
      }
      return 0;
    default:
      return 0;
  }
}

}  // extern "C"
