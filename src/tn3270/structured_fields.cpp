// Write Structured Field for the -E models: Read Partition (Query, Query
// List, and the read commands addressed to partition 0), Erase/Reset, Set
// Reply Mode and Outbound 3270DS; and the Query Reply that tells the host
// what this terminal is. Every structured field is read within its stated
// length; one whose length does not fit the record ends the record.
#include <cstdio>

#include "tn3270/model_engine.h"

namespace model3270 {

namespace {

constexpr uint8_t kSfReadPartition = 0x01;
constexpr uint8_t kSfEraseReset = 0x03;
constexpr uint8_t kSfSetReplyMode = 0x09;
constexpr uint8_t kSfOutbound3270 = 0x40;

constexpr uint8_t kQuery = 0x02;
constexpr uint8_t kQueryList = 0x03;
// Query List names the codes listed; its other forms (0x40 "equivalent",
// 0x80 "all") are answered with every reply.
constexpr uint8_t kQueryListList = 0x00;

// Query codes answered, in the order the replies go out.
constexpr uint8_t kQcNull = 0xFF;
constexpr uint8_t kQcSummary = 0x80;
constexpr uint8_t kQcUsableArea = 0x81;
constexpr uint8_t kQcAlphanumericPartitions = 0x84;
constexpr uint8_t kQcCharacterSets = 0x85;
constexpr uint8_t kQcColor = 0x86;
constexpr uint8_t kQcHighlighting = 0x87;
constexpr uint8_t kQcReplyModes = 0x88;
constexpr uint8_t kQcRpqNames = 0xA1;
constexpr uint8_t kQcImplicitPartition = 0xA6;
constexpr uint8_t kAnswered[] = {kQcSummary,  kQcUsableArea,    kQcAlphanumericPartitions,
                                 kQcCharacterSets, kQcColor, kQcHighlighting,
                                 kQcReplyModes, kQcRpqNames, kQcImplicitPartition};

void put16(std::vector<uint8_t>& v, int x) {
  v.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
  v.push_back(static_cast<uint8_t>(x & 0xFF));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, static_cast<int>(x >> 16));
  put16(v, static_cast<int>(x & 0xFFFF));
}

// One query reply: its length, 0x81, the code and the body.
void reply(std::vector<uint8_t>& out, uint8_t code, const std::vector<uint8_t>& body) {
  put16(out, static_cast<int>(body.size()) + 4);
  out.push_back(0x81);
  out.push_back(code);
  out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> body(const ModelScreen& s, uint8_t code) {
  const int rows = AlternateRows(s.model), columns = AlternateColumns(s.model);
  std::vector<uint8_t> b;
  switch (code) {
    case kQcSummary:
      b.assign(std::begin(kAnswered), std::end(kAnswered));
      break;
    case kQcUsableArea:
      b = {0x01, 0x00};  // 12- and 14-bit addressing; no special features
      put16(b, columns);
      put16(b, rows);
      b.push_back(0x01);     // distances in millimetres
      put32(b, 0x000A02E5);  // horizontal and vertical pel distance
      put32(b, 0x0002006F);
      b.push_back(0x09);  // a cell's width and height in pels
      b.push_back(0x0C);
      put16(b, rows * columns);
      break;
    case kQcAlphanumericPartitions:
      b.push_back(0x00);  // the implicit partition only
      put16(b, rows * columns);
      b.push_back(0x00);
      break;
    case kQcCharacterSets:
      // The base set (code page 37) and the graphic escape set (code page 310).
      b = {0x82, 0x00, 0x09, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x07,
           0x00, 0x10, 0x00, 0x02, 0xB9, 0x00, 0x25,
           0x01, 0x00, 0xF1, 0x03, 0xC3, 0x01, 0x36};
      break;
    case kQcColor:
      b = {0x00};
      if (s.model.color) {
        // Default as green, then the seven colours and the rest as themselves.
        b.push_back(16);
        b.push_back(0x00);
        b.push_back(0xF4);
        for (int c = 0xF1; c <= 0xFF; ++c) {
          b.push_back(static_cast<uint8_t>(c));
          b.push_back(static_cast<uint8_t>(c));
        }
      } else {
        // A monochrome screen: every colour shows as the default.
        b.push_back(16);
        b.push_back(0x00);
        b.push_back(0xF4);
        for (int c = 0xF1; c <= 0xFF; ++c) {
          b.push_back(static_cast<uint8_t>(c));
          b.push_back(0x00);
        }
      }
      break;
    case kQcHighlighting:
      b = {0x05, 0x00, kHighlightNormal, kHighlightBlink, kHighlightBlink, kHighlightReverse, kHighlightReverse,
           kHighlightUnderscore, kHighlightUnderscore, kHighlightIntensify, kHighlightIntensify};
      break;
    case kQcReplyModes:
      b = {kReplyField, kReplyExtendedField, kReplyCharacter};
      break;
    case kQcRpqNames: {
      b.assign(8, 0x00);  // device type and model: none given
      static const uint8_t kName[] = {0x98, 0xA4, 0x89, 0x93, 0x93, 0x96, 0x95};  // "quillon"
      b.push_back(static_cast<uint8_t>(sizeof kName + 1));
      b.insert(b.end(), std::begin(kName), std::end(kName));
      break;
    }
    case kQcImplicitPartition:
      b = {0x00, 0x00, 0x0B, 0x01, 0x00};
      put16(b, kDefaultColumns);
      put16(b, kDefaultRows);
      put16(b, columns);
      put16(b, rows);
      break;
    default:
      break;
  }
  return b;
}

bool isWrite(uint8_t c) {
  return c == 0xF1 || c == 0x01 || c == 0xF5 || c == 0x05 || c == 0x7E || c == 0x0D || c == 0x6F || c == 0x0F;
}

void setReplyMode(ModelScreen& s, const uint8_t* p, int n) {
  if (n < 2 || p[0] != 0x00) return;  // partition 0 only
  const uint8_t mode = p[1];
  if (mode > kReplyCharacter) return;
  s.replyAttributeCount = 0;
  if (mode == kReplyCharacter)
    for (int k = 2; k < n && s.replyAttributeCount < sizeof s.replyAttributes; ++k)
      s.replyAttributes[s.replyAttributeCount++] = p[k];
  // Character mode without attributes to report is extended field mode.
  s.replyMode = mode == kReplyCharacter && s.replyAttributeCount == 0 ? kReplyExtendedField : mode;
}

void readPartition(CommTcp& t, const uint8_t* p, int n) {
  if (n < 2) return;
  const uint8_t partition = p[0], type = p[1];
  if (type == kQuery || type == kQueryList) {
    if (partition != 0xFF) return;
    // The host now waits for the reply, and the keyboard for the host's next write.
    t.modelLocked = 1;
    if (type == kQuery || n < 3 || p[2] != kQueryListList) {
      SendInbound(t, BuildQueryReply(t.modelScreen, nullptr));
      return;
    }
    std::vector<uint8_t> codes(p + 3, p + n);
    SendInbound(t, BuildQueryReply(t.modelScreen, &codes));
    return;
  }
  // Read Buffer, Read Modified, Read Modified All for partition 0.
  if (partition == 0x00 && (type == 0xF2 || type == 0xF6 || type == 0x6E)) SendRead(t, type);
}

}  // namespace

std::vector<uint8_t> BuildQueryReply(const ModelScreen& s, const std::vector<uint8_t>* codes) {
  std::vector<uint8_t> out{kAidStructuredField};
  for (uint8_t code : kAnswered) {
    bool wanted = codes == nullptr;
    if (codes)
      for (uint8_t c : *codes) wanted = wanted || c == code;
    if (wanted) reply(out, code, body(s, code));
  }
  // None of the codes asked for is known here: the null reply.
  if (out.size() == 1) reply(out, kQcNull, {});
  return out;
}

void StructuredFields(CommTcp& t, const uint8_t* data, int length) {
  int at = 0;
  while (length - at >= 3) {
    int size = (data[at] << 8) | data[at + 1];
    if (size == 0) size = length - at;  // 0: the field runs to the end of the record
    if (size < 3 || size > length - at) {
      if (t.traceFile) std::fprintf(t.traceFile, " \nStructured field of length %d dropped\n", size);
      return;
    }
    const uint8_t id = data[at + 2];
    const uint8_t* p = data + at + 3;
    const int n = size - 3;
    switch (id) {
      case kSfReadPartition: readPartition(t, p, n); break;
      case kSfEraseReset:
        EraseScreen(t.modelScreen, n >= 1 && (p[0] & 0x80) != 0);
        break;
      case kSfSetReplyMode: setReplyMode(t.modelScreen, p, n); break;
      case kSfOutbound3270:
        // Partition 0, then a write command with its WCC and orders (never
        // another structured field or a read).
        if (n >= 2 && p[0] == 0x00 && isWrite(p[1])) ProcessRecord(t, p + 1, n - 1);
        break;
      default:
        if (t.traceFile) std::fprintf(t.traceFile, " \nStructured field 0x%02x passed over\n", id);
        break;
    }
    at += size;
  }
}

}  // namespace model3270
