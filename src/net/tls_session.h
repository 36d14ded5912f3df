// A terminal's TLS session: the handshake driven by the socket's events, and
// the plain bytes that SendData and RecvData exchange through it.
#pragma once

#include <cstdio>

#include "platform/win32.h"

class CommTcp;

// The TCP connection is up: starts the handshake. Once it completes the Telnet
// session starts as on a plain connection; a failure is reported in a message
// box, the socket closed and the window left for another Connect.
void TlsConnected(CommTcp& t, HWND hwnd);
// A read event during the handshake.
void TlsHandshakeRead(CommTcp& t, HWND hwnd);
// The host closed the connection: during the handshake that is a failure.
void TlsHandshakeClosed(CommTcp& t, HWND hwnd);
// Plain bytes into `buffer` (at most `room`); -1 when the session has ended,
// which has then been traced and the window asked to close.
int TlsReceive(CommTcp& t, HWND hwnd, FILE* trace, unsigned char* buffer, int room);
// Sends all of the bytes; false when the session failed (traced, window closing).
bool TlsSend(CommTcp& t, HWND hwnd, FILE* trace, const unsigned char* data, int length);
// True when decrypted bytes wait that no read event will announce.
bool TlsPending(const CommTcp& t);
// Drops the session (the socket is closed by the caller).
void TlsEnd(CommTcp& t);
