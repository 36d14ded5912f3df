// The 3270 path as a read event runs it in a negotiated TN3270 session:
// ParseData on each piece in the receive buffer, CreateScreen gathering and
// interpreting the records, ShowScreen painting each completed screen into the
// window's cell grid; for the default model, and for a 3279-5-E whose records
// (the same fields, about as long) write its 27 x 132 alternate screen with
// colours and highlighting. And
// build_input, the record an Enter sends, for a screen of 40 modified input
// fields.
#include <benchmark/benchmark.h>

#include <string>

#include "bench.h"
#include "net/telnet.h"
#include "tn3270/ebcdic.h"
#include "tn3270/model_engine.h"

namespace bench {
namespace {

long long g_recordsSeen = 0;
void countRecord() { ++g_recordsSeen; }

// The field attributes on a model screen.
int modelFields(const ModelScreen& s) {
  int fields = 0;
  for (int p = 0; p < s.positions(); ++p) fields += s.cells[p].field;
  return fields;
}

// `model` null: the default model, whose screen is the original 24 x 80 one.
void quillon3270Records(benchmark::State& state, const Input* input, int recordCount, const char* model) {
  TerminalSession session;
  if (!session.error().empty()) {
    state.SkipWithError(session.error().c_str());
    return;
  }
  CommTcp& t = *session.t;
  t.terminalType = kTypeIbm3270;
  t.terminalMode = kMode3270;
  if (model) {
    TerminalModel m;
    if (!ParseTerminalModel(model, &m)) {
      state.SkipWithError("unknown terminal model");
      return;
    }
    model3270::ResetScreen(t.modelScreen, m);
  }
  t.recordHandler = countRecord;  // the embedding interface's hook, as an embedder sets it
  g_recordsSeen = 0;
  const unsigned char* bytes = input->bytes.data();
  const size_t size = input->bytes.size();
  for (auto _ : state) session.feed(bytes, size);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * recordCount);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
  if (g_recordsSeen != static_cast<long long>(state.iterations()) * recordCount)
    state.SkipWithError("not every record of the input was completed");
  else if (!model && t.fieldCount < 40)
    state.SkipWithError("the last screen does not hold the fields of the input");
  else if (model && (!t.modelScreen.alternate || modelFields(t.modelScreen) < 40))
    state.SkipWithError("the last screen is not the alternate one with the fields of the input");
}

void appendAddress(std::string* record, int offset) {
  unsigned char address[2];
  cvpc3270(address, offset / 80, offset % 80);
  record->append(reinterpret_cast<const char*>(address), 2);
}

void appendText(std::string* record, std::string text) {
  Asc_To_Ebc(reinterpret_cast<unsigned char*>(text.data()), static_cast<unsigned int>(text.size()));
  record->append(text);
}

// Erase/Write of 20 rows, each with two protected labels and two 30-position
// input fields; the last input field ends at a protected field on row 22.
std::string fortyInputFieldScreen() {
  std::string record("\xF5\xC3", 2);
  for (int i = 0; i < 20; ++i) {
    const int row = (2 + i) * 80;
    for (int half = 0; half < 2; ++half) {
      const int label = row + half * 40;
      record += '\x11';
      appendAddress(&record, label);
      record += "\x1D\x60";
      appendText(&record, "FIELD " + std::to_string(2 * i + half + 1));
      record += '\x11';
      appendAddress(&record, label + 9);
      record += "\x1D\x40";
      appendText(&record, "HOST VALUE");
    }
  }
  record += '\x11';
  appendAddress(&record, 22 * 80);
  record += "\x1D\x60\xFF\xEF";
  return record;
}

constexpr int kModifiedFields = 40;
constexpr int kTypedLength = 24;

void quillonBuildInput(benchmark::State& state) {
  TerminalSession session;
  if (!session.error().empty()) {
    state.SkipWithError(session.error().c_str());
    return;
  }
  CommTcp& t = *session.t;
  t.terminalType = kTypeIbm3270;
  t.terminalMode = kMode3270;
  const std::string record = fortyInputFieldScreen();
  session.feed(reinterpret_cast<const unsigned char*>(record.data()), record.size());
  // The user types into every input field, as the keyboard stores it.
  int typedInto = 0;
  const std::string typed = "TYPED BY THE USER 123456";
  static_assert(kTypedLength == 24, "the typed text");
  for (int i = 0; i < t.fieldCount; ++i) {
    if (t.fieldTable[i].attribute & 0x20) continue;
    t.currentField = i;
    t.PutFieldInfoToBuff(typed.data(), kTypedLength);
    ++typedInto;
  }
  if (typedInto != kModifiedFields) {
    state.SkipWithError("the screen does not have 40 input fields");
    return;
  }
  for (auto _ : state) {
    t.build_input(t.outboundRecord, 0x7D, 10, 2);
    benchmark::DoNotOptimize(t.outboundRecord);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  // AID, cursor address, then per field SBA, its address and the typed characters.
  if (t.outboundLength != 3 + kModifiedFields * (3 + kTypedLength))
    state.SkipWithError("the record does not hold the 40 modified fields");
}

}  // namespace

void register3270(const Input* records, const Input* extended, int recordCount) {
  benchmark::RegisterBenchmark("tn3270_records/quillon", quillon3270Records, records, recordCount, nullptr)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tn3270_extended_records/quillon", quillon3270Records, extended, recordCount,
                               "3279-5-E")
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tn3270_build_input/quillon", quillonBuildInput)->Unit(benchmark::kNanosecond);
}

}  // namespace bench
