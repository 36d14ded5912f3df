// What a model screen answers: the read commands' records (Read Buffer, Read
// Modified, Read Modified All) in the reply mode the host chose, and the
// records of the attention keys, which are Read Modified's.
#include <cstdio>

#include "net/socket_io.h"
#include "net/tn3270e.h"
#include "tn3270/ebcdic.h"
#include "tn3270/field_attribute.h"
#include "tn3270/model_engine.h"

namespace model3270 {

namespace {

// PA1, PA2, PA3 and Clear send their identifier alone in reply to Read Modified.
bool shortRead(uint8_t aid) { return aid == 0x6C || aid == 0x6E || aid == 0x6B || aid == 0x6D; }

bool isReadBuffer(uint8_t c) { return c == 0x02 || c == 0xF2; }
bool isReadModifiedAll(uint8_t c) { return c == 0x0E || c == 0x6E; }

// The field attribute as the terminal sends it: its six bits in graphic code.
uint8_t graphicAttribute(uint8_t fa) { return addressCodeTable[fa & 0x3F]; }

class Reply {
 public:
  explicit Reply(const ModelScreen& s) : s_(s) {}

  void header(uint8_t aid, int cursor) {
    out_.push_back(aid);
    address(cursor);
  }
  void address(int a) {
    uint8_t b[2];
    EncodeAddress(a, b);
    out_.insert(out_.end(), b, b + 2);
  }
  void setBufferAddress(int a) {
    out_.push_back(kOrderSba);
    address(a);
  }

  // A field attribute, in the form the reply mode gives it.
  void field(const ModelCell& c) {
    if (s_.replyMode == kReplyField) {
      out_.push_back(kOrderSf);
      out_.push_back(graphicAttribute(c.fa));
    } else {
      const size_t countAt = out_.size() + 1;
      out_.push_back(kOrderSfe);
      out_.push_back(1);
      out_.push_back(kXaField);
      out_.push_back(graphicAttribute(c.fa));
      const uint8_t pairs[4][2] = {{kXaForeground, c.foreground},
                                   {kXaBackground, c.background},
                                   {kXaHighlight, c.highlight},
                                   {kXaCharset, c.charset}};
      for (const auto& pair : pairs) {
        if (pair[1] == 0) continue;
        out_.push_back(pair[0]);
        out_.push_back(pair[1]);
        ++out_[countAt];
      }
    }
  }

  // A character; in character mode preceded by Set Attribute orders for the
  // attributes the host asked for that differ from the last ones sent (the
  // last ones sent run on across fields).
  void character(const ModelCell& c) {
    if (s_.replyMode == kReplyCharacter) {
      attribute(kXaForeground, c.foreground, &current_.foreground);
      attribute(kXaBackground, c.background, &current_.background);
      attribute(kXaHighlight, c.highlight, &current_.highlight);
      attribute(kXaCharset, c.charset, &current_.charset);
    }
    if (c.ge) out_.push_back(kOrderGe);
    out_.push_back(c.ch);
  }

  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  bool asked(uint8_t type) const {
    const int n = s_.replyAttributeCount < sizeof s_.replyAttributes ? s_.replyAttributeCount : sizeof s_.replyAttributes;
    for (int k = 0; k < n; ++k)
      if (s_.replyAttributes[k] == type) return true;
    return false;
  }
  void attribute(uint8_t type, uint8_t value, uint8_t* sent) {
    if (*sent == value || !asked(type)) return;
    *sent = value;
    out_.push_back(kOrderSa);
    out_.push_back(type);
    out_.push_back(value);
  }

  const ModelScreen& s_;
  std::vector<uint8_t> out_;
  ModelCell current_{};
};

// The host's read commands carry the attention identifier still pending (the
// keyboard is locked after it until the host restores it), else "none".
std::vector<uint8_t> readBuffer(const ModelScreen& s) {
  Reply r(s);
  r.header(s.aid, s.cursor);
  const int n = s.positions();
  for (int p = 0; p < n; ++p) {
    if (s.cells[p].field)
      r.field(s.cells[p]);
    else
      r.character(s.cells[p]);
  }
  return r.take();
}

// The characters of positions from..to (inclusive, wrapping), nulls left out.
void modifiedText(const ModelScreen& s, Reply& r, int from, int count) {
  for (int k = 0; k < count; ++k) {
    const ModelCell& c = s.cells[wrap(s, from + k)];
    if (c.ch != 0) r.character(c);
  }
}

std::vector<uint8_t> readModified(const ModelScreen& s, uint8_t aid, bool all) {
  Reply r(s);
  if (!all && shortRead(aid)) {
    std::vector<uint8_t> only{aid};
    return only;
  }
  r.header(aid, s.cursor);
  const int n = s.positions();
  if (!formatted(s)) {
    modifiedText(s, r, 0, n);
    return r.take();
  }
  // Each modified field, in the order of their attributes from position 0.
  for (int f = 0; f < n; ++f) {
    const ModelCell& c = s.cells[f];
    if (!c.field || !fieldIsModified(c.fa)) continue;
    const int length = fieldLength(s, f + 1);
    r.setBufferAddress(wrap(s, f + 1));
    modifiedText(s, r, f + 1, length);
  }
  return r.take();
}

}  // namespace

std::vector<uint8_t> BuildRead(const ModelScreen& s, uint8_t command) {
  if (isReadBuffer(command)) return readBuffer(s);
  return readModified(s, s.aid, isReadModifiedAll(command));
}

void SendInbound(CommTcp& t, const std::vector<uint8_t>& record) {
  if (tn3270e::Active(t)) {
    tn3270e::SendRecord(t, tn3270e::kType3270Data, record.data(), record.size());
    return;
  }
  std::vector<uint8_t> wire;
  wire.reserve(record.size() + record.size() / 8 + 2);
  for (uint8_t b : record) {
    wire.push_back(b);
    if (b == 0xFF) wire.push_back(0xFF);
  }
  wire.push_back(0xFF);
  wire.push_back(0xEF);
  SendBytes(&t, t.windowHandle, t.socketHandle, t.traceFile, wire.data(), static_cast<int>(wire.size()));
}

void SendRead(CommTcp& t, uint8_t command) {
  if (t.traceFile) std::fprintf(t.traceFile, " \nRead command 0x%02x answered\n", command);
  SendInbound(t, BuildRead(t.modelScreen, command));
}

void Attention(CommTcp& t, uint8_t aid) {
  if (tn3270e::TakeAttention(t, aid)) return;
  ModelScreen& s = t.modelScreen;
  s.aid = aid;
  t.modelLocked = 1;
  SendInbound(t, readModified(s, aid, false));
  if (aid == 0x6D) {
    EraseScreen(s, false);
    MirrorLegacy(t);
  }
}

}  // namespace model3270
