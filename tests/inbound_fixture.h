// Shared set-up for the tests of the inbound 3270 data stream: a real
// terminal object, records written as hexadecimal text, and a record handler
// that keeps what it saw.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "stream_bytes.h"
#include "tn3270/ebcdic.h"

// "F5 C3 11 40 40" -> bytes; spaces are ignored.
inline Bytes hex(const std::string& text) {
  Bytes out;
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    digits += c;
    if (digits.size() == 2) {
      out.push_back(static_cast<uint8_t>(std::stoul(digits, nullptr, 16)));
      digits.clear();
    }
  }
  return out;
}

// The two bytes of a buffer address.
inline Bytes address(uint32_t offset) {
  unsigned char out[2];
  cvpc3270(out, static_cast<int>(offset / 80), static_cast<int>(offset % 80));
  return Bytes{out[0], out[1]};
}

// What the record handler saw at each call.
struct HandlerCall {
  Bytes record;
  int cursorColumn;
  int cursorRow;
};

class InboundTest : public OpenTerminalTest {
 protected:
  void SetUp() override {
    OpenTerminalTest::SetUp();
    if (HasFatalFailure()) return;
    calls().clear();
    current() = t;
    t->recordHandler = &InboundTest::onRecord;
  }
  void TearDown() override {
    if (t && t->traceFile) {
      std::fclose(t->traceFile);
      t->traceFile = nullptr;
    }
    OpenTerminalTest::TearDown();
  }

  // One chunk from the host, through the record gatherer.
  int feed(const Bytes& chunk) {
    Bytes copy = chunk;  // exactly sized, so a read past its end is caught
    return t->CreateScreen(copy.data(), static_cast<int>(copy.size()));
  }
  // One record straight to the interpreter.
  void interpret(const Bytes& record) {
    Bytes copy = record;
    t->CreateScreenMenu(copy.data(), static_cast<int>(copy.size()));
  }
  std::string screen(uint32_t from, uint32_t count) const {
    return std::string(reinterpret_cast<const char*>(t->screenChars + from), count);
  }
  void startTrace() { t->traceFile = std::fopen("trace.txt", "wb"); }
  std::string stopTrace() {
    std::fclose(t->traceFile);
    t->traceFile = nullptr;
    return readFile("trace.txt");
  }

  static std::vector<HandlerCall>& calls() {
    static std::vector<HandlerCall> seen;
    return seen;
  }
  static CommTcp*& current() {
    static CommTcp* terminal = nullptr;
    return terminal;
  }
  static void onRecord() {
    CommTcp* c = current();
    calls().push_back({Bytes(c->recordBuffer, c->recordBuffer + c->recordFill), c->cursorColumn, c->cursorRow});
  }

};

// Erases the screen and writes a protected "HELLO" at 1..5 and an input field from 7.
inline Bytes helloRecord() { return hex("F5 C3 11 40 40 1D 60 C8 C5 D3 D3 D6 1D 40 FF EF"); }
