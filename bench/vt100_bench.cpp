// The VT100 path as a read event runs it: ParseData on each piece in the
// receive buffer (Telnet commands, the interpreter, the NVT buffer) and one
// repaint of the screen into the window's cell grid at the end of each piece.
// Beside it, the same bytes in pieces of the same size through libvterm's
// screen layer, so that one run gives both figures on the same machine load.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench.h"
#include "platform/posix/testing.h"
#include "terminal_session.h"

#ifdef QUILLON_BENCH_LIBVTERM
#include <vterm.h>
#endif

namespace bench {
namespace {

// Whether any cell of the 25 screen rows shows something other than a blank.
bool screenShowsText(HWND window) {
  for (int row = 0; row < kNvtMaxRows; ++row) {
    if (posix::testing::rowText(window, row, 80).find_first_not_of(' ') != std::string::npos) return true;
  }
  return false;
}

void quillonVt100(benchmark::State& state, const Input* input) {
  TerminalSession session;
  if (!session.error().empty()) {
    state.SkipWithError(session.error().c_str());
    return;
  }
  CommTcp& t = *session.t;
  t.terminalType = kTypeVt100;
  t.terminalMode = 0;  // negotiated as a VT100 session: everything goes to the interpreter
  const unsigned char* bytes = input->bytes.data();
  const size_t size = input->bytes.size();
  for (auto _ : state) {
    session.feed(bytes, size);
    // Between two passes over the input the loop would have handled what the
    // window has pending (a paint after the view came back to the live screen).
    state.PauseTiming();
    posix::testing::pumpUntilIdle();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
  if (session.messageBoxes() != 0)
    state.SkipWithError("the input made the terminal reply to the host");
  else if (!screenShowsText(session.window))
    state.SkipWithError("nothing of the input reached the window");
}

#ifdef QUILLON_BENCH_LIBVTERM

// Counts the damaged cells: enough work that the callback is not optimised away.
int onDamage(VTermRect rect, void* user) {
  *static_cast<long long*>(user) += static_cast<long long>(rect.end_row - rect.start_row) * (rect.end_col - rect.start_col);
  return 1;
}

void discardOutput(const char*, size_t, void*) {}

void libvtermVt100(benchmark::State& state, const Input* input) {
  VTerm* vt = vterm_new(kNvtMaxRows, kNvtColumns);
  vterm_set_utf8(vt, 0);  // bytes, as the Telnet session delivers them
  vterm_output_set_callback(vt, discardOutput, nullptr);
  VTermScreen* screen = vterm_obtain_screen(vt);
  static VTermScreenCallbacks callbacks{};
  callbacks.damage = onDamage;
  long long damagedCells = 0;
  vterm_screen_set_callbacks(screen, &callbacks, &damagedCells);
  // One damage report per write, as our side repaints once per read.
  vterm_screen_set_damage_merge(screen, VTERM_DAMAGE_SCREEN);
  vterm_screen_reset(screen, 1);

  const char* bytes = reinterpret_cast<const char*>(input->bytes.data());
  const size_t size = input->bytes.size();
  for (auto _ : state) {
    for (size_t done = 0; done < size;) {
      const size_t piece = std::min(size - done, static_cast<size_t>(kReadSize));
      vterm_input_write(vt, bytes + done, piece);
      vterm_screen_flush_damage(screen);
      done += piece;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
  vterm_free(vt);
  if (damagedCells == 0) state.SkipWithError("libvterm reported no damage");
}

#endif

}  // namespace

void registerVt100(const std::vector<const Input*>& inputs) {
  for (const Input* input : inputs) {
    const std::string name = input->name.substr(0, input->name.find('.'));
    benchmark::RegisterBenchmark((name + "/quillon").c_str(), quillonVt100, input)->Unit(benchmark::kMillisecond);
#ifdef QUILLON_BENCH_LIBVTERM
    benchmark::RegisterBenchmark((name + "/libvterm").c_str(), libvtermVt100, input)->Unit(benchmark::kMillisecond);
#endif
  }
}

}  // namespace bench
