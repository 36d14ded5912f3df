// Quillon's library for programs that embed the terminal: every exported
// function and the terminal class, in one header.
#pragma once

#include "app/shell.h"           // window class, terminal window, cell measuring
#include "net/connection.h"      // host dialog and connecting
#include "embed/embedding.h"     // typing into the window, the record handler
#include "net/socket_io.h"       // bytes to and from the host, error reports
#include "net/telnet.h"          // the Telnet engine
#include "terminal/comm_tcp.h"   // the terminal object of a window
#include "tn3270/ebcdic.h"       // 3270 code tables and buffer addresses
#include "ui/center_wnd.h"       // centring dialogs
#include "ui/color_dialog.h"     // the colour dialog
#include "ui/menu_commands.h"    // the escape and About dialogs
#include "vt100/nvt_screen.h"    // characters into the VT100 screen
#include "vt100/vt100_parser.h"  // the VT100 interpreter
