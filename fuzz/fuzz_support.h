// What the fuzz targets share: one terminal window created through the real
// path on the headless display, connected to a host end on 127.0.0.1 that a
// thread keeps drained, the per-input reset of the terminal's state, and the
// reader that takes an input apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "terminal/comm_tcp.h"

namespace fuzz {

// The two terminal modes the targets run in.
enum class Mode { kVt100, kIbm3270 };

struct Session {
  HWND window = nullptr;
  CommTcp* t = nullptr;
  int client = -1;  // the terminal's end (its SOCKET)
  FILE* trace = nullptr;  // a trace log that goes nowhere (/dev/null)
};

// The session, made on first use: a scratch directory as current directory,
// a fresh platform with the manual clock, Winsock started, the window created
// with ncTcpRegisterClass and ncTcpCreateSocketObj, connected (connected = 1)
// and laid out for VT100 use as the layout message leaves it. `eventSelect`
// lets the socket layer post FD_READ and FD_CLOSE to the window.
Session& session(bool eventSelect = false);
// True while the window and its connection still stand (a WM_CLOSE, Exit or a
// cancelled Connect destroys the window).
bool sessionAlive();
// Makes the window and the connection anew after they were closed.
void recreateSession();

// Puts the terminal back to the state it had right after the session was made,
// in the given mode (3270: as after the negotiation with an IBM-3278-2 terminal
// type), and clears the platform's logs (message boxes, clipboard) so nothing
// grows from input to input.
void resetTerminal(Mode mode);
// Dispatches every ready message (timers never come due: the clock is manual).
void pump();
// The end of an input: dispatches what is left, makes the window anew if the
// input closed it, and empties what the input added to the platform's logs
// (message boxes, clipboard), so that an input leaves the heap as it found it.
void finishInput();

// The host end sends these bytes; returns once the terminal's end has them all
// (or after a bounded wait).
void hostSends(const uint8_t* data, size_t size);

// Reads an input front to back; past the end every read gives zeros.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  size_t left() const { return size_ - pos_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t word() {
    const uint16_t lo = byte();
    return static_cast<uint16_t>(lo | (byte() << 8));
  }
  uint32_t dword() {
    const uint32_t lo = word();
    return lo | (static_cast<uint32_t>(word()) << 16);
  }
  // Up to n bytes from the input.
  std::vector<uint8_t> bytes(size_t n) {
    n = n < left() ? n : left();
    std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }
  std::vector<uint8_t> rest() { return bytes(left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The split-input layout of the stream targets: the first byte holds flags
// (bits 3..7) and the number of cuts (bits 0..2); each cut is one byte, the
// length of a piece; the rest of the input is the stream, and whatever the
// pieces leave over is the last piece.
struct SplitInput {
  uint8_t flags = 0;
  std::vector<std::vector<uint8_t>> pieces;
};
SplitInput split(const uint8_t* data, size_t size);

}  // namespace fuzz

namespace fuzz {

// Runs the Telnet engine over a split input as the socket events would: each
// piece is one read, delivered in the window's receive buffer (at most the room
// it keeps, as RecvData reads) or, with flag bit 1, in a buffer of exactly the
// piece's size. Flag bit 0 turns the trace log on, bit 2 makes the terminal
// type of a VT100 session IBM-3278-2 (a 3270 session always has it), bit 3
// installs the record handler below, bit 4 makes it one call with the pieces twice
// over in a buffer of its own (more than one read holds).
void runTelnet(const uint8_t* data, size_t size, Mode mode);

// Installs a record handler that takes the whole screen as an embedding program
// does (ncTcpGetWholeScreen into a buffer of the documented size).
void installRecordHandler();

}  // namespace fuzz
