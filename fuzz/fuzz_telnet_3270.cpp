// The Telnet engine (ParseData) once the negotiation has made the terminal a
// 3270 (mode 15), over any split of the stream into reads: records gathered
// across reads, doubled IACs and IAC EOR cut in two, option commands between
// records, and the refusal re-requests.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::runTelnet(data, size, fuzz::Mode::kIbm3270);
  return 0;
}
