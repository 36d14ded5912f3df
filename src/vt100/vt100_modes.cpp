// The VT100 modes a connection starts with: what a VT100 has at power-up, the
// host's terminal description assumes, and the host changes later.
#include "terminal/comm_tcp.h"
#include "terminal/settings.h"

void CommTcp::ResetVt100Modes() {
  cursorKeysApplication = 0;
  keypadApplication = 0;
  autoWrap = ReadAutoWrapSetting();
  wrapPending = 0;
  nawsAgreed = 0;
  nawsReportedRows = 0;
}
