// The 3270 keyboard of a model screen (every model but the default 3278-2).
#pragma once

#include "terminal/comm_tcp.h"

void KeyDownModel3270(CommTcp& t, HWND hwnd, WPARAM key);
void CharModel3270(CommTcp& t, HWND hwnd, WPARAM ch);
