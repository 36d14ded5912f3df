// A terminal window laid out for VT100 use, with helpers that run the
// interpreter over byte strings, alone or piece by piece the way the Telnet
// engine presents them (the unconsumed tail in front of the next piece).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "vt100/nvt_screen.h"
#include "vt100/vt100_parser.h"

class Vt100Test : public NvtLayoutTest {
 protected:

  void SetUp() override {
    NvtLayoutTest::SetUp();
    if (HasFatalFailure()) return;
    // What the Telnet engine establishes for a parse.
    t->deviceContext = GetDC(window_);
    t->repaintPending = 1;
    hzState = 0;
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &wsa), 0);  // replies go out through the socket layer
  }
  void TearDown() override {
    hzState = 0;
#ifndef _WIN32
    posix::setDisplay(nullptr);
#endif
    NvtLayoutTest::TearDown();
  }

  void setCursor(int row, int column) {
    t->cursorRow = row;
    t->cursorColumn = column;
  }

  // Runs the interpreter over the bytes from `start`; the buffer has exactly
  // one spare byte. Returns the exit position; the buffer stays in `last`.
  int parse(const std::string& bytes, int start = 0) {
    last.assign(bytes.begin(), bytes.end());
    last.push_back(0xEE);
    return resume(start);
  }
  // Runs it again over `last` from `position`, as the engine does after an IAC.
  int resume(int position) {
    const int length = static_cast<int>(last.size()) - 1;
    ParseParameters p{window_, t->socketHandle, t->traceFile, last.data(), length, nullptr};
    vt100Parser(&p, last.data(), &position, length);
    return position;
  }
  // The bytes the engine keeps from `position` (the interpreter may have rewritten them).
  std::string tailFrom(int position) { return std::string(last.begin() + position, last.end() - 1); }

  // Feeds the pieces as separate reads: each call sees the kept tail of the
  // previous one in front of its piece. A 0xFF at the exit is taken by the
  // "engine" as a two-byte command. Returns the tail left after the last piece.
  std::string feed(const std::vector<std::string>& pieces) {
    std::string tail;
    for (const std::string& piece : pieces) {
      int position = parse(tail + piece);
      const int length = static_cast<int>(last.size()) - 1;
      tail.clear();
      while (position < length && last[position] == 0xFF && position + 2 < length) position = resume(position + 2);
      if (position < length && last[position] != 0xFF) tail = tailFrom(position);
    }
    return tail;
  }

  char cellChar(int row, int column) { return t->nvtChars[t->NvtCellIndex(kLive + row, column)]; }
  uint32_t cellAttr(int row, int column) { return t->nvtAttributes[t->NvtCellIndex(kLive + row, column)] & ~kAttrChanged; }
  std::string rowText(int row, int columns = 20) { return std::string(&t->nvtChars[t->NvtCellIndex(kLive + row, 0)], columns); }
  // Puts text on a screen row directly.
  void putRow(int row, const std::string& text) {
    for (size_t c = 0; c < text.size() && c < 81; ++c) t->nvtChars[t->NvtCellIndex(kLive + row, c)] = text[c];
  }

  // The trace log: opened in the scratch directory as the program opens it (text
  // mode), read back as text after closing.
  void openTrace() { t->traceFile = std::fopen("telntlog.txt", "w"); }
  std::string closeTrace() {
    std::fclose(t->traceFile);
    t->traceFile = nullptr;
    return readTextFile("telntlog.txt");
  }

  std::vector<unsigned char> last;
};
