// How the bytes of a connection travel: on the socket as they are, or through
// the connection's TLS session. The connection chooses one when it is made
// (ncTcpConnectToHost); SendData and RecvData go through it and need not know
// which it is.
#pragma once

#include <cstdio>

#include "platform/win32.h"

class CommTcp;

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends the bytes and traces what was sent; SendData's result.
  virtual int Send(CommTcp* t, HWND window, SOCKET s, FILE* trace, unsigned char* data, int length) const = 0;
  // Reads what is ready, at most `room` bytes, into `buffer` and traces it;
  // *length gets the count. RecvData's result.
  virtual int Receive(CommTcp* t, HWND window, SOCKET s, FILE* trace, unsigned char* buffer, int room,
                      int* length) const = 0;
};

const Transport& PlainTransport();
const Transport& TlsTransport();

// The transport of the terminal's connection when `s` is its socket; a socket
// of anyone else's is plain.
const Transport& TransportFor(const CommTcp* t, SOCKET s);
